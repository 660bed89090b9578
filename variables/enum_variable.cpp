#include "enum_variable.h"

#include <limits>

#include "module/class_table.h"
#include "module/error_record.h"

namespace quorvel {
namespace {

HRESULT invalid_index() {
    return raise_error("Invalid Index", &IID_IBoundEnumVariable, E_INVALIDARG);
}

}  // namespace

HRESULT CBoundEnumVariable::get_EnumStringAt(LONG cPos, BSTR* pVal) noexcept {
    if (!pVal) return E_POINTER;
    if (cPos < 0 || static_cast<std::size_t>(cPos) >= m_vecKeys.size())
        return raise_error("Index Out Of Range", &IID_IBoundEnumVariable, E_FAIL);
    *pVal = bstr_from(m_vecKeys[static_cast<std::size_t>(cPos)].m_strText);
    return S_OK;
}

HRESULT CBoundEnumVariable::get_Value(LONG cOffset, LONG* pVal) noexcept {
    if (!pVal) return E_POINTER;
    auto it = m_vecValues.find(cOffset);
    if (it == m_vecValues.end()) {
        if (!m_bCreateOnRequest) return invalid_index();
        try {
            it = m_vecValues.emplace(cOffset, m_lDefaultValue).first;
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        }
    }
    *pVal = it->second;
    notify_changing();
    return S_OK;
}

HRESULT CBoundEnumVariable::put_Value(LONG cOffset, LONG value) noexcept {
    auto it = m_vecValues.find(cOffset);
    if (it == m_vecValues.end() && !m_bCreateOnRequest) return invalid_index();
    try {
        m_vecValues[cOffset] = value;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    notify_changing();
    return S_OK;
}

HRESULT CBoundEnumVariable::Length(LONG* cLength) noexcept {
    return value_out(static_cast<LONG>(m_vecKeys.size()), cLength);
}

HRESULT CBoundEnumVariable::CreateOnRequest(LONG bCreate) noexcept {
    m_bCreateOnRequest = bCreate;
    return S_OK;
}

HRESULT CBoundEnumVariable::SetDefaultValue(LONG cValue) noexcept {
    m_lDefaultValue = cValue;
    return S_OK;
}

HRESULT CBoundEnumVariable::Initialize(LONG cKey, BSTR szValue) noexcept {
    if (!szValue && (cKey == -1 || cKey == -2)) {
        m_vecKeys.clear();
        m_keysPresent.clear();
        if (cKey == -2) m_vecValues.clear();
        return S_OK;
    }
    if (m_keysPresent.count(cKey)) return raise_error("Invalid or Duplicate Key", nullptr, E_FAIL);
    try {
        m_vecKeys.push_back({cKey, narrow_from(szValue)});
        try {
            m_keysPresent.insert(cKey);
        } catch (const std::bad_alloc&) {
            m_vecKeys.pop_back();
            throw;
        }
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

HRESULT CBoundEnumVariable::text_at_position(BSTR* out) const noexcept {
    const bool inside =
        m_lPosition >= 0 && static_cast<std::size_t>(m_lPosition) < m_vecKeys.size();
    *out = bstr_from(inside ? m_vecKeys[static_cast<std::size_t>(m_lPosition)].m_strText
                            : empty_text());
    return S_OK;
}

HRESULT CBoundEnumVariable::Reset(BSTR* szValue) noexcept {
    m_lPosition = 0;
    if (!szValue) return E_POINTER;
    return text_at_position(szValue);
}

HRESULT CBoundEnumVariable::Next(BSTR* szNext) noexcept {
    // Past the end the position stops at its largest value rather than wrap.
    if (m_lPosition < std::numeric_limits<LONG>::max()) ++m_lPosition;
    if (!szNext) return E_POINTER;
    return text_at_position(szNext);
}

HRESULT CBoundEnumVariable::VectorLength(LONG* cLength) noexcept {
    return value_out(static_cast<LONG>(m_vecValues.size()), cLength);
}

void CBoundEnumVariable::copy_value_into(CBoundEnumVariable& copy) const {
    copy.m_lPosition = m_lPosition;
    copy.m_bCreateOnRequest = m_bCreateOnRequest;
    copy.m_eStatus = m_eStatus;
    copy.m_vecKeys = m_vecKeys;
    copy.m_keysPresent = m_keysPresent;
    copy.m_vecValues = m_vecValues;
}

HRESULT create_bound_enum_variable(IUnknown* outer, REFIID riid, void** ppv) noexcept {
    return create_instance<CBoundEnumVariable>(outer, riid, ppv);
}

}  // namespace quorvel
