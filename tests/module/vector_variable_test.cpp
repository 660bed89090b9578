#include "module_host.h"

using namespace qvtest;

namespace {

struct Read {
    HRESULT hr;
    double value;
};
Read value_at(IBoundNumericVectorVariable* v, LONG i) {
    Read r{E_UNEXPECTED, 0};
    r.hr = v->get_Value(i, &r.value);
    return r;
}
LONG length(IBoundNumericVectorVariable* v) {
    LONG n = -1;
    EXPECT_EQ(v->VectorLength(&n), S_OK);
    return n;
}
tagVariableStatus status_at(IBoundNumericVectorVariable* v, LONG i, HRESULT expected = S_OK) {
    tagVariableStatus s{};
    EXPECT_EQ(v->get_VectorVariableStatus(i, &s), expected);
    return s;
}

}  // namespace

TEST_F(ModuleHost, VectorElementsAreMadeByTheRulesOfEachOperation) {
    auto v = create<IBoundNumericVectorVariable>(CLSID_BoundNumericVectorVariable);
    EXPECT_EQ(length(v.get()), 0);
    const Read missing = value_at(v.get(), 0);
    EXPECT_EQ(missing.hr, E_FAIL);
    EXPECT_EQ(missing.value, -32767.0);
    EXPECT_EQ(status_at(v.get(), 0, E_FAIL), eDefault);
    EXPECT_EQ(length(v.get()), 0) << "reads make nothing while create-on-request is off";

    EXPECT_EQ(v->put_Value(7, 2.5), S_OK) << "a write makes its element whatever the flag";
    EXPECT_EQ(v->put_Value(-1, 4.0), S_OK);
    EXPECT_EQ(value_at(v.get(), 7).value, 2.5);
    EXPECT_EQ(value_at(v.get(), -1).value, 4.0);
    EXPECT_EQ(status_at(v.get(), 7), eDefault);
    EXPECT_EQ(length(v.get()), 2) << "a count, not the highest index plus one";

    EXPECT_EQ(v->CreateOnRequest(2), S_OK);  // any non-zero value turns it on
    EXPECT_EQ(value_at(v.get(), 5).value, -32767.0);
    EXPECT_EQ(v->SetDefaultValue(1.0), S_OK);
    EXPECT_EQ(value_at(v.get(), 6).value, 1.0);
    EXPECT_EQ(value_at(v.get(), 5).value, -32767.0) << "made earlier, keeps its value";
    EXPECT_EQ(status_at(v.get(), 8), eDefault);
    EXPECT_EQ(value_at(v.get(), 8).value, 1.0);

    EXPECT_EQ(v->put_VectorVariableStatus(3, eCalculated), S_OK);
    EXPECT_EQ(value_at(v.get(), 3).value, -32767.0)
        << "a status written first leaves the unset value";
    EXPECT_EQ(status_at(v.get(), 3), eCalculated);
    EXPECT_EQ(length(v.get()), 6);

    // Statuses are per element.
    v->put_VectorVariableStatus(7, eSpecified);
    EXPECT_EQ(status_at(v.get(), 7), eSpecified);
    EXPECT_EQ(status_at(v.get(), 3), eCalculated);

    EXPECT_EQ(v->get_Value(0, nullptr), E_POINTER);
    EXPECT_EQ(v->get_VectorVariableStatus(0, nullptr), E_POINTER);
    EXPECT_EQ(v->VectorLength(nullptr), E_POINTER);
}

TEST_F(ModuleHost, VectorSinksHearOfAWriteBeforeIt) {
    auto v = create<IBoundNumericVectorVariable>(CLSID_BoundNumericVectorVariable);
    auto a = qv::make<Sink>("A");
    std::vector<Read> seen;
    a->on_change = [&](IBoundDataVariable*) { seen.push_back(value_at(v.get(), 1)); };
    v->SetNotificationInterface(a.get());
    v->put_Value(1, 10.0);
    v->put_Value(1, 20.0);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].hr, E_FAIL) << "the element did not exist yet";
    EXPECT_EQ(seen[1].value, 10.0) << "the old value";
    v->put_VectorVariableStatus(1, eCalculated), v->SetDefaultValue(3), v->CreateOnRequest(1);
    value_at(v.get(), 2);
    v->Erase();
    EXPECT_EQ(a->changes, 2) << "only Value puts notify";
}

TEST_F(ModuleHost, EraseAndCopyOfAVector) {
    auto v = create<IBoundNumericVectorVariable>(CLSID_BoundNumericVectorVariable);
    auto a = qv::make<Sink>("A");
    v->put_Value(0, 1.0), v->put_VectorVariableStatus(0, eCalculated);
    v->put_Value(4, 2.0), v->put_VectorVariableStatus(4, eSpecified);
    v->SetDefaultValue(9.0), v->CreateOnRequest(1), v->put_VariableStatus(eDefault);
    v->SetNotificationInterface(a.get());

    qv::com_ptr<IBoundDataVariable> base;
    ASSERT_EQ(v->Copy(base.put()), S_OK);
    auto copy = base.try_as<IBoundNumericVectorVariable>();
    EXPECT_EQ(length(copy.get()), 2);
    EXPECT_EQ(value_at(copy.get(), 0).value, 1.0);
    EXPECT_EQ(status_at(copy.get(), 0), eCalculated);
    EXPECT_EQ(value_at(copy.get(), 4).value, 2.0);
    EXPECT_EQ(value_at(copy.get(), 9).value, 9.0) << "default and create-on-request came along";
    tagVariableStatus status{};
    copy->get_VariableStatus(&status);
    EXPECT_EQ(status, eSpecified);
    copy->put_Value(0, 5.0);
    EXPECT_EQ(a->changes, 0);
    EXPECT_EQ(value_at(v.get(), 0).value, 1.0);

    EXPECT_EQ(v->Erase(), S_OK);
    EXPECT_EQ(length(v.get()), 0);
    EXPECT_EQ(value_at(v.get(), 12).value, 9.0) << "the default and the flag stay";
    v->get_VariableStatus(&status);
    EXPECT_EQ(status, eDefault);
    v->put_Value(1, 1.0);
    EXPECT_EQ(a->changes, 1) << "the sinks stay";
}
