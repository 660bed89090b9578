#include <gtest/gtest.h>

#include <functional>

#include "late_bound.h"
#include "shapes_object.h"

using namespace qvtest;

namespace {

VARIANT converted(VARIANT from, VARTYPE to, HRESULT* hr = nullptr) {
    VARIANT out;
    VariantInit(&out);
    const HRESULT result = VariantChangeType(&out, &from, 0, to);
    if (hr) *hr = result;
    return out;
}

}  // namespace

TEST(Variant, ClearAndCopyFollowOwnership) {
    auto object = qv::make<Sink>();
    VARIANT a = unknown_arg(object.get());
    object->AddRef();  // a's own reference
    VARIANT b;
    VariantInit(&b);
    ASSERT_EQ(VariantCopy(&b, &a), S_OK);
    EXPECT_EQ(object->AddRef(), 4u) << "make, a, b, and this";
    object->Release();
    EXPECT_EQ(VariantClear(&a), S_OK);
    EXPECT_EQ(a.vt, VT_EMPTY);
    EXPECT_EQ(VariantClear(&b), S_OK);
    EXPECT_EQ(object->AddRef(), 2u);
    object->Release();

    VARIANT text = text_arg(SysAllocString(u"abc"));
    VARIANT copy;
    VariantInit(&copy);
    ASSERT_EQ(VariantCopy(&copy, &text), S_OK);
    EXPECT_NE(copy.bstrVal, text.bstrVal) << "a BSTR is copied, not shared";
    EXPECT_EQ(std::u16string(copy.bstrVal), u"abc");
    VariantClear(&text);
    VariantClear(&copy);

    VARIANT bad;
    VariantInit(&bad);
    bad.vt = 0x77;
    EXPECT_EQ(VariantClear(&bad), DISP_E_BADVARTYPE);
    EXPECT_EQ(VariantCopy(&copy, &bad), DISP_E_BADVARTYPE);
}

TEST(Variant, CopyIndReadsThroughAReference) {
    double value = 4.5;
    VARIANT ref;
    VariantInit(&ref);
    ref.vt = VT_R8 | VT_BYREF;
    ref.pdblVal = &value;
    VARIANT out;
    VariantInit(&out);
    ASSERT_EQ(VariantCopyInd(&out, &ref), S_OK);
    EXPECT_EQ(out.vt, VT_R8);
    EXPECT_EQ(out.dblVal, 4.5);

    BSTR text = SysAllocString(u"pointed");
    ref.vt = VT_BSTR | VT_BYREF;
    ref.pbstrVal = &text;
    ASSERT_EQ(VariantCopyInd(&out, &ref), S_OK);
    EXPECT_EQ(std::u16string(out.bstrVal), u"pointed");
    EXPECT_NE(out.bstrVal, text);
    VariantClear(&out);
    SysFreeString(text);
}

TEST(Variant, ChangeTypeConvertsInTheInvariantLocale) {
    qv::unique_bstr number(SysAllocString(u" 1.5 ")), word(SysAllocString(u"abc")),
        truth(SysAllocString(u"True")), big(SysAllocString(u"1e300"));
    struct Case {
        const char* what;
        VARIANT from;
        VARTYPE to;
        HRESULT hr;
        std::function<void(const VARIANT&)> check;
    } const cases[] = {
        {"text to double", text_arg(number.get()), VT_R8, S_OK,
         [](const VARIANT& v) { EXPECT_EQ(v.dblVal, 1.5); }},
        {"text to long rounds", text_arg(number.get()), VT_I4, S_OK,
         [](const VARIANT& v) { EXPECT_EQ(v.lVal, 2); }},
        {"half to even", double_arg(2.5), VT_I4, S_OK,
         [](const VARIANT& v) { EXPECT_EQ(v.lVal, 2); }},
        {"half to even, up", double_arg(3.5), VT_I2, S_OK,
         [](const VARIANT& v) { EXPECT_EQ(v.iVal, 4); }},
        {"overflow", double_arg(40000), VT_I2, DISP_E_OVERFLOW, nullptr},
        {"float overflow", text_arg(big.get()), VT_R4, DISP_E_OVERFLOW, nullptr},
        {"not a number", text_arg(word.get()), VT_R8, DISP_E_TYPEMISMATCH, nullptr},
        {"true text", text_arg(truth.get()), VT_BOOL, S_OK,
         [](const VARIANT& v) { EXPECT_EQ(v.boolVal, VARIANT_TRUE); }},
        {"number to bool", long_arg(3), VT_BOOL, S_OK,
         [](const VARIANT& v) { EXPECT_EQ(v.boolVal, VARIANT_TRUE); }},
        {"double to text", double_arg(0.1), VT_BSTR, S_OK,
         [](const VARIANT& v) { EXPECT_EQ(std::u16string(v.bstrVal), u"0.1"); }},
        {"long to text", long_arg(-42), VT_BSTR, S_OK,
         [](const VARIANT& v) { EXPECT_EQ(std::u16string(v.bstrVal), u"-42"); }},
        {"empty to long", VARIANT{}, VT_I4, S_OK, [](const VARIANT& v) { EXPECT_EQ(v.lVal, 0); }},
        {"null to long",
         [] {
             VARIANT n{};
             n.vt = VT_NULL;
             return n;
         }(),
         VT_I4, DISP_E_TYPEMISMATCH, nullptr},
        {"to a type no variant holds", long_arg(1), VT_RECORD, DISP_E_BADVARTYPE, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        HRESULT hr = E_FAIL;
        VARIANT out = converted(c.from, c.to, &hr);
        EXPECT_EQ(hr, c.hr);
        if (SUCCEEDED(hr)) {
            EXPECT_EQ(out.vt, c.to);
            if (c.check) c.check(out);
        } else {
            EXPECT_EQ(out.vt, VT_EMPTY) << "a failed conversion leaves the destination alone";
        }
        VariantClear(&out);
    }
}

TEST(Variant, ChangeTypeAsksObjectsForTheInterface) {
    auto sink = qv::make<Sink>();
    VARIANT unknown = unknown_arg(static_cast<ITestSink*>(sink.get()));
    HRESULT hr = S_OK;
    VARIANT dispatch = converted(unknown, VT_DISPATCH, &hr);
    EXPECT_EQ(hr, DISP_E_TYPEMISMATCH) << "the sink answers no IDispatch";
    VARIANT same = converted(unknown, VT_UNKNOWN, &hr);
    EXPECT_EQ(hr, S_OK);
    EXPECT_EQ(same.punkVal, static_cast<IUnknown*>(sink.get()));
    VariantClear(&same);
    VariantClear(&dispatch);
    EXPECT_EQ(sink->AddRef(), 2u);
    sink->Release();

    // In place: the destination may be the source.
    VARIANT v = long_arg(12);
    ASSERT_EQ(VariantChangeType(&v, &v, 0, VT_BSTR), S_OK);
    EXPECT_EQ(std::u16string(v.bstrVal), u"12");
    VariantClear(&v);
}
