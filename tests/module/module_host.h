// Drives quorvel.so as a host does: loaded by path, reached only through its
// exported entry points and the published interfaces. Every test ends by
// checking that the module can be unloaded: a leaked reference fails it.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "quorvel/platform.h"
#include "quorvel/quorvel.h"

namespace qvtest {

class ModuleHost : public ::testing::Test {
  protected:
    void SetUp() override {
        const std::string path = QV_MODULE_PATH;
        module_ = LoadLibrary(std::u16string(path.begin(), path.end()).c_str());
        ASSERT_NE(module_, nullptr);
        get_class_object_ =
            reinterpret_cast<GetClassObject>(GetProcAddress(module_, "DllGetClassObject"));
        can_unload_now_ =
            reinterpret_cast<CanUnloadNow>(GetProcAddress(module_, "DllCanUnloadNow"));
        ASSERT_TRUE(get_class_object_ && can_unload_now_);
    }
    void TearDown() override {
        EXPECT_EQ(can_unload_now_(), S_OK) << "a reference into the module is still held";
        FreeLibrary(module_);
    }

    template <class I>
    qv::com_ptr<I> create(const CLSID& clsid, IUnknown* outer = nullptr) {
        qv::com_ptr<IClassFactory> factory;
        EXPECT_EQ(get_class_object_(clsid, IID_IClassFactory, factory.put_void()), S_OK);
        qv::com_ptr<I> object;
        if (factory) {
            EXPECT_EQ(factory->CreateInstance(outer, qv::iid_of<I>, object.put_void()), S_OK);
        }
        return object;
    }
    qv::com_ptr<IBoundNumericVariable> numeric() {
        return create<IBoundNumericVariable>(CLSID_BoundNumericVariable);
    }

    using GetClassObject = HRESULT (*)(REFCLSID, REFIID, void**);
    using CanUnloadNow = HRESULT (*)();
    HMODULE module_ = nullptr;
    GetClassObject get_class_object_ = nullptr;
    CanUnloadNow can_unload_now_ = nullptr;
};

// A host's sink: records the calls it receives and may act inside them.
class Sink final : public qv::implements<Sink, IBoundDataNotification> {
  public:
    explicit Sink(std::string name, std::vector<std::string>* log = nullptr)
        : name_(std::move(name)), log_(log) {}

    HRESULT STDMETHODCALLTYPE NotifyVariableChanging(IBoundDataVariable* pVar) override {
        ++changes;
        last = pVar;
        if (log_) log_->push_back(name_);
        if (on_change) on_change(pVar);
        return result;
    }
    HRESULT STDMETHODCALLTYPE OnFinalRelease(IBoundDataVariable* pVar) override {
        ++final_releases;
        if (log_) log_->push_back(name_ + ":final");
        if (on_final) on_final(pVar);
        return result;
    }
    ULONG references() {
        AddRef();
        return Release();
    }

    int changes = 0;
    int final_releases = 0;
    IBoundDataVariable* last = nullptr;
    HRESULT result = S_OK;
    std::function<void(IBoundDataVariable*)> on_change, on_final;

  private:
    std::string name_;
    std::vector<std::string>* log_;
};

inline std::u16string text_of(BSTR b) {
    return b ? std::u16string(b, SysStringLen(b)) : u"(null)";
}

}  // namespace qvtest
