#include <gtest/gtest.h>

#include "quorvel/platform.h"

QV_INTERFACE(ITestBase, IUnknown, 0x11111111, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8)
QV_INTERFACE(ITestDerived, ITestBase, 0x22222222, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8)
QV_INTERFACE(ITestOther, IUnknown, 0x33333333, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8)

struct ITestBase : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Base() = 0;
};
struct ITestDerived : ITestBase {
    virtual HRESULT STDMETHODCALLTYPE Derived() = 0;
};
struct ITestOther : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Other() = 0;
};

namespace {

class Sample final : public qv::implements<Sample, ITestDerived, ITestOther> {
  public:
    explicit Sample(bool& destroyed) : destroyed_(destroyed) {}
    ~Sample() { destroyed_ = true; }
    HRESULT STDMETHODCALLTYPE Base() override { return 1; }
    HRESULT STDMETHODCALLTYPE Derived() override { return 2; }
    HRESULT STDMETHODCALLTYPE Other() override { return 3; }

  private:
    bool& destroyed_;
};

}  // namespace

TEST(Implements, QueryInterfaceAnswersTheListAndItsBases) {
    bool destroyed = false;
    {
        auto sample = qv::make<Sample>(destroyed);
        ITestDerived* derived = sample.get();
        auto base = sample.try_as<ITestBase>();
        auto other = sample.try_as<ITestOther>();
        ASSERT_TRUE(base && other);
        EXPECT_EQ(base->Base(), 1);
        EXPECT_EQ(other->Other(), 3);
        EXPECT_EQ(base.get(), static_cast<ITestBase*>(derived));

        // One identity whichever interface is asked.
        auto id1 = base.try_as<IUnknown>();
        auto id2 = other.try_as<IUnknown>();
        EXPECT_EQ(id1.get(), id2.get());
        EXPECT_EQ(id1.get(), static_cast<IUnknown*>(derived));

        void* refused = &destroyed;
        EXPECT_EQ(derived->QueryInterface(IID_IClassFactory, &refused), E_NOINTERFACE);
        EXPECT_EQ(refused, nullptr);
        EXPECT_EQ(derived->QueryInterface(IID_ITestOther, nullptr), E_POINTER);

        EXPECT_EQ(derived->AddRef(), 6u) << "make, base, other, id1, id2, and this one";
        EXPECT_EQ(derived->Release(), 5u);
    }
    EXPECT_TRUE(destroyed);
}

TEST(ComPtr, OwnsExactlyOneReference) {
    bool destroyed = false;
    auto sample = qv::make<Sample>(destroyed);
    ITestDerived* raw = sample.get();
    {
        qv::com_ptr<ITestDerived> copy = sample;
        qv::com_ptr<ITestDerived> moved = std::move(copy);
        EXPECT_FALSE(copy);
        EXPECT_EQ(raw->AddRef(), 3u);
        raw->Release();
        ITestDerived* out = nullptr;
        moved.copy_to(&out);
        qv::com_ptr<ITestDerived> adopted;
        adopted.attach(out);
        EXPECT_EQ(adopted, moved);
    }
    EXPECT_EQ(raw->AddRef(), 2u);
    raw->Release();
    ITestDerived* detached = sample.detach();
    EXPECT_FALSE(destroyed);
    detached->Release();
    EXPECT_TRUE(destroyed);
}
