#include <gtest/gtest.h>

#include "quorvel/platform.h"

namespace {

// An object that aggregates the marshaler, as a free-threaded object does.
class Outer final : public IUnknown {
  public:
    Outer() { EXPECT_EQ(CoCreateFreeThreadedMarshaler(this, marshaler_.put()), S_OK); }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (IsEqualIID(riid, IID_IMarshal)) return marshaler_->QueryInterface(riid, ppv);
        if (!IsEqualIID(riid, IID_IUnknown)) {
            *ppv = nullptr;
            return E_NOINTERFACE;
        }
        *ppv = this;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override { return --refs_; }

    ULONG refs_ = 1;
    qv::com_ptr<IUnknown> marshaler_;
};

}  // namespace

TEST(FreeThreadedMarshaler, AnswersIMarshalForItsOuterObjectWithoutCountingIt) {
    Outer outer;
    EXPECT_EQ(outer.refs_, 1u) << "the outer object is held uncounted";

    qv::com_ptr<IMarshal> marshal;
    ASSERT_EQ(outer.QueryInterface(IID_IMarshal, marshal.put_void()), S_OK);
    EXPECT_EQ(outer.refs_, 2u) << "references through IMarshal go to the outer object";

    qv::com_ptr<IUnknown> identity;
    ASSERT_EQ(marshal->QueryInterface(IID_IUnknown, identity.put_void()), S_OK);
    EXPECT_EQ(identity.get(), &outer);
    identity.reset();
    marshal.reset();
    EXPECT_EQ(outer.refs_, 1u);

    CLSID unmarshaler;
    ASSERT_EQ(outer.QueryInterface(IID_IMarshal, marshal.put_void()), S_OK);
    EXPECT_EQ(marshal->GetUnmarshalClass(IID_IUnknown, &outer, 0, nullptr, 0, &unmarshaler), S_OK);
    EXPECT_EQ(unmarshaler, CLSID_InProcFreeMarshaler);
    marshal.reset();

    // The inner IUnknown answers for itself and is what keeps the marshaler alive.
    qv::com_ptr<IUnknown> inner;
    ASSERT_EQ(outer.marshaler_->QueryInterface(IID_IUnknown, inner.put_void()), S_OK);
    EXPECT_EQ(inner.get(), outer.marshaler_.get());
    EXPECT_EQ(outer.marshaler_->QueryInterface(IID_IClassFactory, marshal.put_void()),
              E_NOINTERFACE);
}

TEST(FreeThreadedMarshaler, StandsAloneWithoutAnOuterObject) {
    qv::com_ptr<IUnknown> inner;
    ASSERT_EQ(CoCreateFreeThreadedMarshaler(nullptr, inner.put()), S_OK);
    auto marshal = inner.try_as<IMarshal>();
    ASSERT_TRUE(marshal);
    EXPECT_EQ(marshal.try_as<IUnknown>().get(), inner.get());
    EXPECT_EQ(CoCreateFreeThreadedMarshaler(nullptr, nullptr), E_INVALIDARG);
}
