// CBoundEnumVariable: integer values by offset, beside a table of keyed
// choice texts. Its failures leave error records.
#pragma once

#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "variable_core.h"

namespace quorvel {

class CBoundEnumVariable;

template <>
struct VariableTraits<CBoundEnumVariable> {
    static constexpr const char* null_tag_name = "Null Name";
    static constexpr bool errors_on_base_interface = true;
};

class CBoundEnumVariable
    : public BoundVariable<CBoundEnumVariable, IBoundEnumVariable, eEnumVariable> {
  public:
    HRESULT STDMETHODCALLTYPE get_EnumStringAt(LONG cPos, BSTR* pVal) noexcept override;
    // A read notifies as a write does, after it succeeds.
    HRESULT STDMETHODCALLTYPE get_Value(LONG cOffset, LONG* pVal) noexcept override;
    HRESULT STDMETHODCALLTYPE put_Value(LONG cOffset, LONG value) noexcept override;
    HRESULT STDMETHODCALLTYPE Length(LONG* cLength) noexcept override;
    HRESULT STDMETHODCALLTYPE CreateOnRequest(LONG bCreate) noexcept override;
    HRESULT STDMETHODCALLTYPE SetDefaultValue(LONG cValue) noexcept override;
    // Adds a key; with a null text, key -1 clears the keys and -2 both tables.
    HRESULT STDMETHODCALLTYPE Initialize(LONG cKey, BSTR szValue) noexcept override;
    HRESULT STDMETHODCALLTYPE Reset(BSTR* szValue) noexcept override;
    HRESULT STDMETHODCALLTYPE Next(BSTR* szNext) noexcept override;
    HRESULT STDMETHODCALLTYPE VectorLength(LONG* cLength) noexcept override;

    // Unlike the other kinds, the copy keeps the status too.
    void copy_value_into(CBoundEnumVariable& copy) const;

  private:
    struct EnumKeyEntry {
        LONG m_lKey;
        std::string m_strText;
    };
    HRESULT text_at_position(BSTR* out) const noexcept;

    LONG m_lPosition = 0;
    LONG m_lDefaultValue = 0;
    LONG m_bCreateOnRequest = 0;
    std::unordered_map<LONG, LONG> m_vecValues;  // offset to value
    std::vector<EnumKeyEntry> m_vecKeys;         // by position, in insertion order
    std::unordered_set<LONG> m_keysPresent;
};

}  // namespace quorvel
