#include "vector_variable.h"

#include "module/class_table.h"

namespace quorvel {

CBoundNumericVectorVariable::VectorItem* CBoundNumericVectorVariable::find_or_make_for_read(
    LONG index) {
    if (auto it = m_vecItems.find(index); it != m_vecItems.end()) return &it->second;
    if (!m_bCreateOnRequest) return nullptr;
    return &m_vecItems.emplace(index, VectorItem{m_dDefaultValue, eDefault}).first->second;
}

HRESULT CBoundNumericVectorVariable::get_Value(LONG cIdx, double* Value) noexcept {
    if (!Value) return E_POINTER;
    *Value = kUnsetValue;
    try {
        const VectorItem* item = find_or_make_for_read(cIdx);
        if (!item) return E_FAIL;
        *Value = item->m_dValue;
        return S_OK;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

HRESULT CBoundNumericVectorVariable::put_Value(LONG cIdx, double value) noexcept {
    notify_changing();
    try {
        auto [it, made] = m_vecItems.try_emplace(cIdx, VectorItem{value, eDefault});
        if (!made) it->second.m_dValue = value;
        return S_OK;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

HRESULT CBoundNumericVectorVariable::VectorLength(LONG* cLength) noexcept {
    if (!cLength) return E_POINTER;
    *cLength = static_cast<LONG>(m_vecItems.size());
    return S_OK;
}

HRESULT CBoundNumericVectorVariable::SetDefaultValue(double Value) noexcept {
    m_dDefaultValue = Value;
    return S_OK;
}

HRESULT CBoundNumericVectorVariable::CreateOnRequest(LONG bCreate) noexcept {
    m_bCreateOnRequest = bCreate;
    return S_OK;
}

HRESULT CBoundNumericVectorVariable::Erase() noexcept {
    m_vecItems.clear();
    return S_OK;
}

HRESULT CBoundNumericVectorVariable::get_VectorVariableStatus(LONG cIdx,
                                                              tagVariableStatus* pVal) noexcept {
    if (!pVal) return E_POINTER;
    *pVal = eDefault;
    try {
        const VectorItem* item = find_or_make_for_read(cIdx);
        if (!item) return E_FAIL;
        *pVal = item->m_eStatus;
        return S_OK;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

HRESULT CBoundNumericVectorVariable::put_VectorVariableStatus(LONG cIdx,
                                                              tagVariableStatus status) noexcept {
    try {
        // A status written first gives an element the unset value, not the default.
        auto [it, made] = m_vecItems.try_emplace(cIdx, VectorItem{kUnsetValue, status});
        if (!made) it->second.m_eStatus = status;
        return S_OK;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

void CBoundNumericVectorVariable::copy_value_into(CBoundNumericVectorVariable& copy) const {
    copy.m_dDefaultValue = m_dDefaultValue;
    copy.m_bCreateOnRequest = m_bCreateOnRequest;
    copy.m_vecItems = m_vecItems;
}

HRESULT create_bound_numeric_vector_variable(IUnknown* outer, REFIID riid, void** ppv) noexcept {
    return create_instance<CBoundNumericVectorVariable>(outer, riid, ppv);
}

}  // namespace quorvel
