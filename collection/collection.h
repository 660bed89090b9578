// CBoundDataVariables: an ordered list of bound variables with a tag name of
// its own, searched by tag name, enumerated, copied into snapshots.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "module/dispatch.h"
#include "module/object.h"
#include "quorvel/quorvel.h"

namespace quorvel {

// One member: a counted variable and its tag name as it was when added.
struct VariableEntry {
    IBoundDataVariable* m_pVariable;
    std::string m_strTagName;
};

class CBoundDataVariables : public ObjectRoot,
                            public ISupportErrorInfo,
                            public DualDispatch<CBoundDataVariables, IBoundDataVariables> {
  public:
    ~CBoundDataVariables();

    // The QueryInterface table: IBoundDataVariables and IDispatch (one
    // pointer), ISupportErrorInfo.
    void* interface_for(REFIID riid) noexcept;
    IUnknown* identity() noexcept { return static_cast<IBoundDataVariables*>(this); }

    // Makes the free-threaded marshaler over the controlling unknown.
    HRESULT FinalConstruct() noexcept;
    void FinalRelease() noexcept;

    HRESULT STDMETHODCALLTYPE Add(IBoundDataVariable* NewVariable) noexcept override;
    HRESULT STDMETHODCALLTYPE Count(LONG* cVariables) noexcept override;
    HRESULT STDMETHODCALLTYPE Item(LONG Index, IBoundDataVariable** pVariable) noexcept override;
    HRESULT STDMETHODCALLTYPE get__NewEnum(IUnknown** retval) noexcept override;
    HRESULT STDMETHODCALLTYPE
    get_OwnerNotificationInterface(IBoundDataNotification** pVal) noexcept override;
    HRESULT STDMETHODCALLTYPE
    put_OwnerNotificationInterface(IBoundDataNotification* owner) noexcept override;
    HRESULT STDMETHODCALLTYPE GetSnapShot(IBoundDataVariables** pISnapShotVars) noexcept override;
    HRESULT STDMETHODCALLTYPE Remove(LONG Index) noexcept override;
    HRESULT STDMETHODCALLTYPE get_TaggedName(BSTR* pVal) noexcept override;
    HRESULT STDMETHODCALLTYPE put_TaggedName(BSTR name) noexcept override;
    // Entry by entry in order: first the stored name, then the current one.
    HRESULT STDMETHODCALLTYPE FindVariable(BSTR tagName,
                                           IBoundDataVariable** pIVar) noexcept override;
    HRESULT STDMETHODCALLTYPE Store(LONG dwAccess, IUnknown* pUnk,
                                    BSTR* bStreamName) noexcept override;
    HRESULT STDMETHODCALLTYPE Recall(LONG dwAccess, IUnknown* pUnk,
                                     BSTR* bStreamName) noexcept override;

    HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID riid) noexcept override;

  private:
    IUnknown* controlling_unknown() noexcept { return outer() ? outer() : identity(); }
    IBoundDataVariable* variable_at(std::size_t index) noexcept;

    std::string m_strTaggedName = "Not Set";
    SAFEARRAY* m_psaEnum = nullptr;
    std::vector<std::unique_ptr<VariableEntry>> m_Entries;
    IBoundDataNotification* m_pOwnerNotify = nullptr;
    IUnknown* m_pFreeThreadedMarshaler = nullptr;
};

}  // namespace quorvel
