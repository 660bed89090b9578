#include "collection.h"

#include "enum_variant.h"
#include "module/class_table.h"
#include "module/narrow_text.h"
#include "persistence/store_recall.h"

namespace quorvel {

namespace {

// The variable's current tag name, narrow; nothing when it cannot say.
bool current_name(IBoundDataVariable* variable, std::string& name) {
    BSTR text = nullptr;
    if (FAILED(variable->get_TaggedName(&text))) return false;
    name = narrow_from(text);
    SysFreeString(text);
    return true;
}

}  // namespace

CBoundDataVariables::~CBoundDataVariables() = default;

void* CBoundDataVariables::interface_for(REFIID riid) noexcept {
    if (IsEqualIID(riid, IID_IBoundDataVariables) || IsEqualIID(riid, IID_IDispatch))
        return static_cast<IBoundDataVariables*>(this);
    if (IsEqualIID(riid, IID_ISupportErrorInfo)) return static_cast<ISupportErrorInfo*>(this);
    return nullptr;
}

HRESULT CBoundDataVariables::FinalConstruct() noexcept {
    return CoCreateFreeThreadedMarshaler(controlling_unknown(), &m_pFreeThreadedMarshaler);
}

void CBoundDataVariables::FinalRelease() noexcept {
    if (m_psaEnum) SafeArrayDestroy(m_psaEnum);
    m_psaEnum = nullptr;
    if (IBoundDataNotification* owner = std::exchange(m_pOwnerNotify, nullptr)) owner->Release();
    for (auto& entry : m_Entries) entry->m_pVariable->Release();
    m_Entries.clear();
    if (IUnknown* marshaler = std::exchange(m_pFreeThreadedMarshaler, nullptr))
        marshaler->Release();
}

HRESULT CBoundDataVariables::Add(IBoundDataVariable* NewVariable) noexcept {
    if (!NewVariable) return S_OK;
    try {
        auto entry = std::make_unique<VariableEntry>(VariableEntry{NewVariable, {}});
        current_name(NewVariable, entry->m_strTagName);
        m_Entries.reserve(m_Entries.size() + 1);
        NewVariable->AddRef();
        m_Entries.push_back(std::move(entry));
        return S_OK;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

HRESULT CBoundDataVariables::Count(LONG* cVariables) noexcept {
    if (!cVariables) return E_POINTER;
    *cVariables = static_cast<LONG>(m_Entries.size());
    return S_OK;
}

HRESULT CBoundDataVariables::Item(LONG Index, IBoundDataVariable** pVariable) noexcept {
    if (!pVariable) return E_POINTER;
    *pVariable = nullptr;
    if (Index < 0 || static_cast<std::size_t>(Index) >= m_Entries.size()) return E_FAIL;
    *pVariable = m_Entries[static_cast<std::size_t>(Index)]->m_pVariable;
    (*pVariable)->AddRef();
    return S_OK;
}

HRESULT CBoundDataVariables::Remove(LONG Index) noexcept {
    if (Index < 0 || static_cast<std::size_t>(Index) >= m_Entries.size()) return S_OK;
    const auto at = m_Entries.begin() + Index;
    IBoundDataVariable* variable = (*at)->m_pVariable;
    m_Entries.erase(at);
    variable->Release();
    return S_OK;
}

HRESULT CBoundDataVariables::FindVariable(BSTR tagName, IBoundDataVariable** pIVar) noexcept {
    if (!pIVar) return E_POINTER;
    *pIVar = nullptr;
    try {
        const std::string key = narrow_from(tagName);
        std::string name;
        for (const auto& entry : m_Entries) {
            const bool stored = !entry->m_strTagName.empty() && entry->m_strTagName == key;
            if (stored || (current_name(entry->m_pVariable, name) && name == key)) {
                *pIVar = entry->m_pVariable;
                (*pIVar)->AddRef();
                return S_OK;
            }
        }
        return S_FALSE;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

HRESULT CBoundDataVariables::get_TaggedName(BSTR* pVal) noexcept {
    if (!pVal) return E_POINTER;
    *pVal = bstr_from(m_strTaggedName);
    return S_OK;
}

HRESULT CBoundDataVariables::put_TaggedName(BSTR name) noexcept {
    return assign_narrow(m_strTaggedName, name);
}

HRESULT CBoundDataVariables::get_OwnerNotificationInterface(
    IBoundDataNotification** pVal) noexcept {
    if (!pVal) return E_POINTER;
    *pVal = m_pOwnerNotify;
    if (m_pOwnerNotify) m_pOwnerNotify->AddRef();
    return S_OK;
}

HRESULT CBoundDataVariables::put_OwnerNotificationInterface(
    IBoundDataNotification* owner) noexcept {
    if (owner) owner->AddRef();
    if (IBoundDataNotification* old = std::exchange(m_pOwnerNotify, owner)) old->Release();
    return S_OK;
}

HRESULT CBoundDataVariables::get__NewEnum(IUnknown** retval) noexcept {
    if (!retval) return E_POINTER;
    *retval = nullptr;
    if (m_psaEnum) SafeArrayDestroy(m_psaEnum);
    const auto count = static_cast<ULONG>(m_Entries.size());
    m_psaEnum = SafeArrayCreateVector(VT_VARIANT, 0, count);
    if (!m_psaEnum) return E_FAIL;
    for (ULONG i = 0; i < count; ++i) {
        // Each element carries the variable's own IDispatch, so a late-bound
        // client may call it directly; one without is handed out as IUnknown.
        IBoundDataVariable* variable = m_Entries[i]->m_pVariable;
        VARIANT element;
        VariantInit(&element);
        if (SUCCEEDED(variable->QueryInterface(IID_IDispatch,
                                               reinterpret_cast<void**>(&element.pdispVal)))) {
            element.vt = VT_DISPATCH;
        } else if (SUCCEEDED(variable->QueryInterface(
                       IID_IUnknown, reinterpret_cast<void**>(&element.punkVal)))) {
            element.vt = VT_UNKNOWN;
        }
        LONG index = static_cast<LONG>(i);
        SafeArrayPutElement(m_psaEnum, &index, &element);
        VariantClear(&element);
    }
    IEnumVARIANT* enumerator = nullptr;
    RETURN_IF_FAILED(create_enumerator(m_psaEnum, count, &enumerator));
    const HRESULT hr = enumerator->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(retval));
    if (FAILED(hr)) {
        enumerator->AddRef();
        enumerator->Release();
    }
    return hr;
}

// The entry's variable, counted, or null when a sink removed it meanwhile.
IBoundDataVariable* CBoundDataVariables::variable_at(std::size_t index) noexcept {
    if (index >= m_Entries.size()) return nullptr;
    IBoundDataVariable* variable = m_Entries[index]->m_pVariable;
    variable->AddRef();
    return variable;
}

HRESULT CBoundDataVariables::Store(LONG dwAccess, IUnknown* pUnk, BSTR* bStreamName) noexcept {
    return store_variables(dwAccess, pUnk, bStreamName, m_Entries.size(),
                           [this](std::size_t i) { return variable_at(i); });
}

HRESULT CBoundDataVariables::Recall(LONG dwAccess, IUnknown* pUnk, BSTR* bStreamName) noexcept {
    return recall_variables(dwAccess, pUnk, bStreamName, m_Entries.size(),
                            [this](std::size_t i) { return variable_at(i); });
}

HRESULT CBoundDataVariables::InterfaceSupportsErrorInfo(REFIID riid) noexcept {
    return IsEqualIID(riid, IID_IBoundDataVariables) ? S_OK : S_FALSE;
}

HRESULT create_bound_data_variables(IUnknown* outer, REFIID riid, void** ppv) noexcept {
    return create_instance<CBoundDataVariables>(outer, riid, ppv);
}

}  // namespace quorvel
