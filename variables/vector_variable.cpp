#include "vector_variable.h"

#include "module/class_table.h"

namespace quorvel {

template <class Field>
HRESULT CBoundNumericVectorVariable::read_element(LONG index, Field VectorItem::*field,
                                                  Field preset, Field* out) noexcept {
    if (!out) return E_POINTER;
    *out = preset;
    try {
        auto it = m_vecItems.find(index);
        if (it == m_vecItems.end()) {
            if (!m_bCreateOnRequest) return E_FAIL;
            it = m_vecItems.emplace(index, VectorItem{m_dDefaultValue, eDefault}).first;
        }
        *out = it->second.*field;
        return S_OK;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

HRESULT CBoundNumericVectorVariable::get_Value(LONG cIdx, double* Value) noexcept {
    return read_element(cIdx, &VectorItem::m_dValue, kUnsetValue, Value);
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
    return value_out(static_cast<LONG>(m_vecItems.size()), cLength);
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
    return read_element(cIdx, &VectorItem::m_eStatus, eDefault, pVal);
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
