#include "host_variable.h"

using namespace qvtest;

namespace {

std::u16string name_of(IBoundDataVariable* v) {
    qv::unique_bstr name;
    v->get_TaggedName(name.put());
    return std::u16string(name.view());
}

}  // namespace

TEST_F(ModuleHost, ASnapshotHoldsIndependentCopiesOfEveryKind) {
    auto list = create<IBoundDataVariables>(CLSID_BoundDataVariables);
    qv::unique_bstr title(SysAllocString(u"Unit 7"));
    list->put_TaggedName(title.get());
    auto owner = qv::make<Sink>("owner");
    list->put_OwnerNotificationInterface(owner.get());

    auto number = numeric();
    number->put_Value(1.25);
    auto text = create<IBoundStringVariable>(CLSID_BoundStringVariable);
    qv::unique_bstr word(SysAllocString(u"word"));
    text->put_Value(word.get());
    auto vector = create<IBoundNumericVectorVariable>(CLSID_BoundNumericVectorVariable);
    vector->put_Value(2, 8.0);
    auto choice = create<IBoundEnumVariable>(CLSID_BoundEnumVariable);
    choice->CreateOnRequest(1), choice->put_Value(0, 3);
    for (IBoundDataVariable* v : std::initializer_list<IBoundDataVariable*>{
             number.get(), text.get(), vector.get(), choice.get(), number.get()}) {
        list->Add(v);
    }

    qv::com_ptr<IBoundDataVariables> snap;
    ASSERT_EQ(list->GetSnapShot(snap.put()), S_OK);
    LONG n = 0;
    snap->Count(&n);
    EXPECT_EQ(n, 5) << "a variable standing twice is copied twice";
    qv::unique_bstr snap_name;
    snap->get_TaggedName(snap_name.put());
    EXPECT_EQ(snap_name.view(), u"Unit 7");
    qv::com_ptr<IBoundDataNotification> snap_owner;
    snap->get_OwnerNotificationInterface(snap_owner.put());
    EXPECT_FALSE(snap_owner) << "the owner sink stays behind";

    qv::com_ptr<IBoundDataVariable> first, last;
    snap->Item(0, first.put());
    snap->Item(4, last.put());
    EXPECT_NE(first.get(), static_cast<IBoundDataVariable*>(number.get()));
    EXPECT_NE(first.get(), last.get());
    auto copy = first.try_as<IBoundNumericVariable>();
    double value = 0;
    copy->get_Value(&value);
    EXPECT_EQ(value, 1.25);
    number->put_Value(9);
    copy->get_Value(&value);
    EXPECT_EQ(value, 1.25) << "independent of the source";

    qv::com_ptr<IBoundDataVariable> v2, e3;
    snap->Item(2, v2.put());
    snap->Item(3, e3.put());
    double element = 0;
    EXPECT_EQ(v2.try_as<IBoundNumericVectorVariable>()->get_Value(2, &element), S_OK);
    EXPECT_EQ(element, 8.0);
    LONG chosen = 0;
    EXPECT_EQ(e3.try_as<IBoundEnumVariable>()->get_Value(0, &chosen), S_OK);
    EXPECT_EQ(chosen, 3);
    EXPECT_EQ(list->GetSnapShot(nullptr), E_POINTER);
}

TEST_F(ModuleHost, AVariableThatCannotBeCopiedIsLeftOut) {
    auto list = create<IBoundDataVariables>(CLSID_BoundDataVariables);
    auto stubborn = qv::make<HostVariable>(u"stubborn"),
         willing = qv::make<HostVariable>(u"willing");
    stubborn->fail_copy = true;
    list->Add(stubborn.get());
    list->Add(willing.get());
    qv::com_ptr<IBoundDataVariables> snap;
    ASSERT_EQ(list->GetSnapShot(snap.put()), S_OK);
    LONG n = 0;
    snap->Count(&n);
    EXPECT_EQ(n, 1);
    qv::com_ptr<IBoundDataVariable> only;
    snap->Item(0, only.put());
    EXPECT_EQ(name_of(only.get()), u"willing");
    snap.reset(), only.reset();
    EXPECT_EQ(willing->references(), 2u)
        << "the source's variables untouched: its own and the list's";
}
