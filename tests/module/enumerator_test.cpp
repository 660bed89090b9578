#include "host_variable.h"

using namespace qvtest;

namespace {

class Enumerator : public ModuleHost {
  protected:
    void SetUp() override {
        ModuleHost::SetUp();
        list_ = create<IBoundDataVariables>(CLSID_BoundDataVariables);
        for (int i = 0; i < 3; ++i) {
            vars_.push_back(numeric());
            vars_.back()->put_Value(i);
            list_->Add(vars_.back().get());
        }
    }
    void TearDown() override {
        list_.reset();
        vars_.clear();
        ModuleHost::TearDown();
    }
    qv::com_ptr<IEnumVARIANT> enumerate() {
        qv::com_ptr<IUnknown> unknown;
        EXPECT_EQ(list_->get__NewEnum(unknown.put()), S_OK);
        return unknown.try_as<IEnumVARIANT>();
    }
    // The value of the variable an element refers to.
    static double value_of(const VARIANT& element) {
        qv::com_ptr<IBoundNumericVariable> v;
        element.punkVal->QueryInterface(IID_IBoundNumericVariable, v.put_void());
        double value = -1;
        if (v) v->get_Value(&value);
        return value;
    }

    qv::com_ptr<IBoundDataVariables> list_;
    std::vector<qv::com_ptr<IBoundNumericVariable>> vars_;
};

}  // namespace

TEST_F(Enumerator, NextHandsOutCountedElementsAndSaysWhereTheEndIs) {
    auto e = enumerate();
    ASSERT_TRUE(e);
    VARIANT two[2];
    ULONG fetched = 9;
    ASSERT_EQ(e->Next(2, two, &fetched), S_OK);
    EXPECT_EQ(fetched, 2u);
    EXPECT_EQ(two[0].vt, VT_DISPATCH);
    EXPECT_EQ(value_of(two[0]), 0);
    EXPECT_EQ(value_of(two[1]), 1);
    for (auto& v : two) VariantClear(&v);
    ASSERT_EQ(e->Next(2, two, &fetched), S_FALSE);
    EXPECT_EQ(fetched, 1u);
    EXPECT_EQ(value_of(two[0]), 2);
    EXPECT_EQ(two[1].vt, VT_EMPTY);
    VariantClear(&two[0]);
    EXPECT_EQ(e->Next(1, two, &fetched), S_FALSE);
    EXPECT_EQ(fetched, 0u);
    EXPECT_EQ(e->Next(0, nullptr, &fetched), S_OK);
    EXPECT_EQ(e->Next(1, nullptr, &fetched), E_POINTER);

    qv::com_ptr<IUnknown> same;
    ASSERT_EQ(e->QueryInterface(IID_IUnknown, same.put_void()), S_OK);
    EXPECT_EQ(same.get(), static_cast<IUnknown*>(e.get()));
    EXPECT_EQ(e->QueryInterface(IID_IDispatch, same.put_void()), E_NOINTERFACE);
}

TEST_F(Enumerator, SkipResetAndIndependentClones) {
    auto e = enumerate();
    EXPECT_EQ(e->Skip(3), S_OK);
    VARIANT one;
    EXPECT_EQ(e->Next(1, &one, nullptr), S_FALSE);
    EXPECT_EQ(e->Reset(), S_OK);
    EXPECT_EQ(e->Skip(5), S_FALSE);
    EXPECT_EQ(e->Reset(), S_OK);
    EXPECT_EQ(e->Skip(0xFFFFFFFFu), S_FALSE) << "no count wraps the position";
    EXPECT_EQ(e->Next(1, &one, nullptr), S_FALSE);
    e->Reset();
    ASSERT_EQ(e->Next(1, &one, nullptr), S_OK);
    VariantClear(&one);

    qv::com_ptr<IEnumVARIANT> clone;
    ASSERT_EQ(e->Clone(clone.put()), S_OK);
    ASSERT_EQ(clone->Next(1, &one, nullptr), S_OK);
    EXPECT_EQ(value_of(one), 1) << "the clone starts where its source stood";
    VariantClear(&one);
    clone->Skip(1);
    ASSERT_EQ(e->Next(1, &one, nullptr), S_OK);
    EXPECT_EQ(value_of(one), 1) << "moving the clone does not move the source";
    VariantClear(&one);
    EXPECT_EQ(e->Clone(nullptr), E_POINTER);
}

TEST_F(Enumerator, APictureFrozenWhenMadeThatOutlivesItsCollection) {
    auto e = enumerate();
    auto late = numeric();
    list_->Add(late.get());
    list_->Remove(0);
    qv::com_ptr<IBoundDataVariable> removed(vars_[0].get());
    vars_.erase(vars_.begin());
    list_.reset();
    ULONG fetched = 0;
    VARIANT all[4];
    EXPECT_EQ(e->Next(4, all, &fetched), S_FALSE);
    EXPECT_EQ(fetched, 3u) << "neither the added nor the removed one changed it";
    EXPECT_EQ(value_of(all[0]), 0);
    for (auto& v : all) VariantClear(&v);
    EXPECT_EQ(can_unload_now_(), S_FALSE) << "a live enumerator keeps the module loaded";
}

TEST_F(Enumerator, ElementsCarryTheVariablesOwnDispatch) {
    auto host = qv::make<HostVariable>(u"host");
    list_->Add(host.get());
    auto e = enumerate();
    VARIANT all[4];
    ULONG fetched = 0;
    ASSERT_EQ(e->Next(4, all, &fetched), S_OK);
    qv::com_ptr<IDispatch> own;
    vars_[0]->QueryInterface(IID_IDispatch, own.put_void());
    EXPECT_EQ(all[0].vt, VT_DISPATCH);
    EXPECT_EQ(all[0].pdispVal, own.get()) << "the variable's IDispatch, not its main interface";
    EXPECT_EQ(all[3].vt, VT_UNKNOWN) << "a variable without IDispatch";
    for (auto& v : all) VariantClear(&v);
}

TEST_F(Enumerator, AnEmptyCollectionEndsAtOnce) {
    auto empty = create<IBoundDataVariables>(CLSID_BoundDataVariables);
    qv::com_ptr<IUnknown> unknown;
    ASSERT_EQ(empty->get__NewEnum(unknown.put()), S_OK);
    auto e = unknown.try_as<IEnumVARIANT>();
    VARIANT one;
    ULONG fetched = 7;
    EXPECT_EQ(e->Next(1, &one, &fetched), S_FALSE);
    EXPECT_EQ(fetched, 0u);
    EXPECT_EQ(one.vt, VT_EMPTY);
    EXPECT_EQ(empty->get__NewEnum(nullptr), E_POINTER);
}
