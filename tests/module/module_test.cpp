// The module frame: class objects, unload accounting, aggregation and identities.
#include "module_host.h"

using namespace qvtest;

namespace {

// An outer object aggregating a variable, as a host builds one.
class Outer final : public IUnknown {
  public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (IsEqualIID(riid, IID_IUnknown)) {
            *ppv = this;
            AddRef();
            return S_OK;
        }
        return inner ? inner->QueryInterface(riid, ppv) : E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
    ULONG STDMETHODCALLTYPE Release() override { return --refs; }
    ULONG refs = 1;
    qv::com_ptr<IUnknown> inner;
};

}  // namespace

TEST_F(ModuleHost, UnloadAccountingFollowsObjectsClassObjectsAndLocks) {
    EXPECT_EQ(can_unload_now_(), S_OK);
    {
        auto variable = numeric();
        EXPECT_EQ(can_unload_now_(), S_FALSE);
    }
    EXPECT_EQ(can_unload_now_(), S_OK);

    qv::com_ptr<IClassFactory> first, second;
    ASSERT_EQ(get_class_object_(CLSID_BoundNumericVariable, IID_IClassFactory, first.put_void()),
              S_OK);
    ASSERT_EQ(get_class_object_(CLSID_BoundNumericVariable, IID_IUnknown, second.put_void()), S_OK);
    EXPECT_EQ(first.get(), second.get()) << "one class object, cached";
    EXPECT_EQ(can_unload_now_(), S_FALSE) << "a client holds the class object";
    second.reset();
    first.reset();
    EXPECT_EQ(can_unload_now_(), S_OK);

    ASSERT_EQ(get_class_object_(CLSID_BoundNumericVariable, IID_IClassFactory, first.put_void()),
              S_OK);
    EXPECT_EQ(first->LockServer(TRUE), S_OK);
    first.reset();
    EXPECT_EQ(can_unload_now_(), S_FALSE);
    ASSERT_EQ(get_class_object_(CLSID_BoundNumericVariable, IID_IClassFactory, first.put_void()),
              S_OK);
    EXPECT_EQ(first->LockServer(FALSE), S_OK);
    first.reset();
    EXPECT_EQ(can_unload_now_(), S_OK);
}

TEST_F(ModuleHost, ClassObjectRequestsThatFail) {
    qv::com_ptr<IUnknown> object;
    const GUID unknown{0x1, 0x2, 0x3, {4, 5, 6, 7, 8, 9, 10, 11}};
    EXPECT_EQ(get_class_object_(unknown, IID_IClassFactory, object.put_void()),
              CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(get_class_object_(CLSID_BoundNumericVariable, IID_IDispatch, object.put_void()),
              E_NOINTERFACE);
    EXPECT_FALSE(object);
    EXPECT_EQ(get_class_object_(CLSID_BoundNumericVariable, IID_IClassFactory, nullptr), E_POINTER);

    qv::com_ptr<IClassFactory> factory;
    ASSERT_EQ(get_class_object_(CLSID_BoundNumericVariable, IID_IClassFactory, factory.put_void()),
              S_OK);
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IBoundNumericVariable, nullptr), E_POINTER);
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IBoundStringVariable, object.put_void()),
              E_NOINTERFACE);
    EXPECT_FALSE(object);
}

TEST_F(ModuleHost, AnAggregatedVariableCountsOnItsOuterObject) {
    Outer outer;
    qv::com_ptr<IClassFactory> factory;
    ASSERT_EQ(get_class_object_(CLSID_BoundNumericVariable, IID_IClassFactory, factory.put_void()),
              S_OK);
    qv::com_ptr<IUnknown> refused;
    EXPECT_EQ(factory->CreateInstance(&outer, IID_IBoundNumericVariable, refused.put_void()),
              CLASS_E_NOAGGREGATION);
    ASSERT_EQ(factory->CreateInstance(&outer, IID_IUnknown, outer.inner.put_void()), S_OK);
    factory.reset();
    EXPECT_EQ(outer.refs, 1u) << "the inner object does not count its outer one";

    qv::com_ptr<IBoundNumericVariable> variable;
    ASSERT_EQ(outer.QueryInterface(IID_IBoundNumericVariable, variable.put_void()), S_OK);
    EXPECT_EQ(outer.refs, 2u) << "references to the contained interfaces go to the outer object";
    qv::com_ptr<IUnknown> identity;
    ASSERT_EQ(variable->QueryInterface(IID_IUnknown, identity.put_void()), S_OK);
    EXPECT_EQ(identity.get(), static_cast<IUnknown*>(&outer));
    identity.reset();
    ASSERT_EQ(variable->put_Value(3.5), S_OK);
    double value = 0;
    EXPECT_EQ(variable->get_Value(&value), S_OK);
    EXPECT_EQ(value, 3.5);
    variable.reset();
    EXPECT_EQ(outer.refs, 1u);
    EXPECT_EQ(can_unload_now_(), S_FALSE);
    outer.inner.reset();
}

TEST_F(ModuleHost, QueryInterfaceIdentities) {
    auto variable = numeric();
    qv::com_ptr<IUnknown> base, dispatch, support, unknown, refused;
    ASSERT_EQ(variable->QueryInterface(IID_IBoundDataVariable, base.put_void()), S_OK);
    EXPECT_EQ(base.get(), static_cast<IUnknown*>(variable.get())) << "the main pointer";
    ASSERT_EQ(variable->QueryInterface(IID_IUnknown, unknown.put_void()), S_OK);
    EXPECT_EQ(unknown.get(), static_cast<IUnknown*>(variable.get()));
    ASSERT_EQ(variable->QueryInterface(IID_IDispatch, dispatch.put_void()), S_OK);
    EXPECT_NE(dispatch.get(), static_cast<IUnknown*>(variable.get())) << "a separate pointer";
    ASSERT_EQ(variable->QueryInterface(IID_ISupportErrorInfo, support.put_void()), S_OK);
    for (const IID* iid : {&IID_IMarshal, &IID_IBoundDataNotification, &IID_IBoundStringVariable}) {
        void* out = &refused;
        EXPECT_EQ(variable->QueryInterface(*iid, &out), E_NOINTERFACE);
        EXPECT_EQ(out, nullptr);
    }
    auto errors = support.try_as<ISupportErrorInfo>();
    EXPECT_EQ(errors->InterfaceSupportsErrorInfo(IID_IBoundNumericVariable), S_OK);
    EXPECT_EQ(errors->InterfaceSupportsErrorInfo(IID_IBoundDataVariable), S_FALSE);
    EXPECT_EQ(errors->InterfaceSupportsErrorInfo(IID_IDispatch), S_FALSE);
    // Every pointer reaches the same object.
    EXPECT_EQ(dispatch.try_as<IUnknown>().get(), unknown.get());
    EXPECT_EQ(support.try_as<IBoundNumericVariable>().get(), variable.get());
}
