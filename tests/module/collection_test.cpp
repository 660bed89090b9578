#include "host_variable.h"

using namespace qvtest;

namespace {

class Collection : public ModuleHost {
  protected:
    void SetUp() override {
        ModuleHost::SetUp();
        list_ = create<IBoundDataVariables>(CLSID_BoundDataVariables);
        ASSERT_TRUE(list_);
    }
    void TearDown() override {
        list_.reset();
        ModuleHost::TearDown();
    }
    qv::com_ptr<IBoundNumericVariable> named(const char16_t* name) {
        auto v = numeric();
        qv::unique_bstr text(SysAllocString(name));
        v->put_TaggedName(text.get());
        return v;
    }
    LONG count() {
        LONG n = -1;
        EXPECT_EQ(list_->Count(&n), S_OK);
        return n;
    }
    IBoundDataVariable* item(LONG i) {
        qv::com_ptr<IBoundDataVariable> v;
        list_->Item(i, v.put());
        return v.get();  // the collection still holds it
    }
    IBoundDataVariable* find(const char16_t* name, HRESULT expected = S_OK) {
        qv::unique_bstr key(name ? SysAllocString(name) : nullptr);
        qv::com_ptr<IBoundDataVariable> v;
        EXPECT_EQ(list_->FindVariable(key.get(), v.put()), expected);
        return v.get();
    }

    qv::com_ptr<IBoundDataVariables> list_;
};

}  // namespace

TEST_F(Collection, AddCountItemAndRemove) {
    auto a = named(u"A"), b = named(u"B"), c = named(u"C");
    EXPECT_EQ(list_->Add(nullptr), S_OK);
    EXPECT_EQ(count(), 0);
    for (auto* v : {a.get(), b.get(), c.get()}) ASSERT_EQ(list_->Add(v), S_OK);
    EXPECT_EQ(count(), 3);
    EXPECT_EQ(item(0), static_cast<IBoundDataVariable*>(a.get()));
    EXPECT_EQ(item(2), static_cast<IBoundDataVariable*>(c.get()));
    qv::com_ptr<IBoundDataVariable> none;
    EXPECT_EQ(list_->Item(-1, none.put()), E_FAIL);
    EXPECT_EQ(list_->Item(3, none.put()), E_FAIL);
    EXPECT_FALSE(none);
    EXPECT_EQ(list_->Remove(3), S_OK);
    EXPECT_EQ(list_->Remove(-1), S_OK);
    EXPECT_EQ(count(), 3);
    ASSERT_EQ(list_->Remove(0), S_OK);
    EXPECT_EQ(item(0), static_cast<IBoundDataVariable*>(b.get()));
    EXPECT_EQ(list_->Count(nullptr), E_POINTER);
    EXPECT_EQ(list_->Item(0, nullptr), E_POINTER);
    EXPECT_EQ(list_->FindVariable(nullptr, nullptr), E_POINTER);
}

TEST_F(Collection, EntriesHoldOneReferenceEachToTheSameVariable) {
    auto host = qv::make<HostVariable>(u"H");
    list_->Add(host.get());
    list_->Add(host.get());
    EXPECT_EQ(count(), 2);
    EXPECT_EQ(item(0), item(1));
    EXPECT_EQ(host->references(), 3u);
    list_->Remove(0);
    EXPECT_EQ(host->references(), 2u);
    list_.reset();
    EXPECT_EQ(host->references(), 1u) << "one Release per entry at the end";
}

TEST_F(Collection, FindVariableTriesTheStoredNameThenTheCurrentOneEntryByEntry) {
    EXPECT_EQ(find(u"X", S_FALSE), nullptr) << "empty collection";
    auto first = named(u"Old"), second = named(u"Key");
    list_->Add(first.get());
    list_->Add(second.get());
    qv::unique_bstr key(SysAllocString(u"Key"));
    first->put_TaggedName(key.get());
    EXPECT_EQ(find(u"Key"), static_cast<IBoundDataVariable*>(first.get()))
        << "entry 0 by its current name wins over entry 1 by its stored one";
    EXPECT_EQ(find(u"Old"), static_cast<IBoundDataVariable*>(first.get()))
        << "found by the stored copy too";
    EXPECT_EQ(find(u"key", S_FALSE), nullptr) << "case counts";

    auto failing = qv::make<HostVariable>(u"Broken");
    failing->fail_name = true;
    list_->Add(failing.get());
    EXPECT_EQ(count(), 3) << "added with an empty stored name";
    EXPECT_EQ(find(u"Broken", S_FALSE), nullptr);

    auto unnamed = numeric();
    list_->Add(unnamed.get());
    EXPECT_EQ(find(u""), static_cast<IBoundDataVariable*>(unnamed.get()))
        << "an empty key matches a current empty name, never a stored one";
}

TEST_F(Collection, TagNameOwnerSinkAndIdentities) {
    qv::unique_bstr name;
    ASSERT_EQ(list_->get_TaggedName(name.put()), S_OK);
    EXPECT_EQ(name.view(), u"Not Set");
    qv::unique_bstr empty(SysAllocString(u""));
    list_->put_TaggedName(empty.get());
    ASSERT_EQ(list_->get_TaggedName(name.put()), S_OK);
    EXPECT_NE(name.get(), nullptr);
    EXPECT_EQ(name.view(), u"");
    EXPECT_EQ(list_->get_TaggedName(nullptr), E_POINTER);

    qv::com_ptr<IBoundDataNotification> owner;
    EXPECT_EQ(list_->get_OwnerNotificationInterface(owner.put()), S_OK);
    EXPECT_FALSE(owner);
    auto a = qv::make<Sink>("A"), b = qv::make<Sink>("B");
    list_->put_OwnerNotificationInterface(a.get());
    list_->put_OwnerNotificationInterface(b.get());
    EXPECT_EQ(a->references(), 1u);
    ASSERT_EQ(list_->get_OwnerNotificationInterface(owner.put()), S_OK);
    EXPECT_EQ(owner.get(), static_cast<IBoundDataNotification*>(b.get()));
    owner.reset();
    list_.reset();
    EXPECT_EQ(b->references(), 1u) << "released at the end";
    EXPECT_EQ(b->changes + b->final_releases, 0) << "and never called";
    list_ = create<IBoundDataVariables>(CLSID_BoundDataVariables);

    qv::com_ptr<IUnknown> dispatch, support, marshal;
    ASSERT_EQ(list_->QueryInterface(IID_IDispatch, dispatch.put_void()), S_OK);
    EXPECT_EQ(dispatch.get(), static_cast<IUnknown*>(list_.get()));
    ASSERT_EQ(list_->QueryInterface(IID_ISupportErrorInfo, support.put_void()), S_OK);
    EXPECT_EQ(list_->QueryInterface(IID_IMarshal, marshal.put_void()), E_NOINTERFACE);
    auto errors = support.try_as<ISupportErrorInfo>();
    EXPECT_EQ(errors->InterfaceSupportsErrorInfo(IID_IBoundDataVariables), S_OK);
    EXPECT_EQ(errors->InterfaceSupportsErrorInfo(IID_IDispatch), S_FALSE);
}

TEST_F(Collection, ACollectionAggregatesInAnOuterObject) {
    struct Outer final : IUnknown {
        HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** ppv) override {
            *ppv = this;
            AddRef();
            return S_OK;
        }
        ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
        ULONG STDMETHODCALLTYPE Release() override { return --refs; }
        ULONG refs = 1;
    } outer;
    auto inner = create<IUnknown>(CLSID_BoundDataVariables, &outer);
    ASSERT_TRUE(inner);
    EXPECT_EQ(outer.refs, 1u)
        << "the marshaler and the collection hold their outer object uncounted";
    qv::com_ptr<IBoundDataVariables> list;
    ASSERT_EQ(inner->QueryInterface(IID_IBoundDataVariables, list.put_void()), S_OK);
    EXPECT_EQ(outer.refs, 2u);
    list.reset();
}
