// CBoundStringVariable: a bound variable holding one text. Writing it tells no
// sink; its end does, through OnFinalRelease.
#pragma once

#include "variable_core.h"

namespace quorvel {

class CBoundStringVariable
    : public BoundVariable<CBoundStringVariable, IBoundStringVariable, eStringVariable> {
  public:
    HRESULT STDMETHODCALLTYPE get_Value(BSTR* pVal) noexcept override {
        return text_out(m_strValue, pVal);
    }
    HRESULT STDMETHODCALLTYPE put_Value(BSTR value) noexcept override {
        return assign_narrow(m_strValue, value);
    }

    void copy_value_into(CBoundStringVariable& copy) const { copy.m_strValue = m_strValue; }

    // Each sink registered at any point hears OnFinalRelease once, in
    // registration order, and is released once, whatever the sinks do to the
    // registrations meanwhile.
    void FinalRelease() noexcept;

  private:
    std::string m_strValue;
};

}  // namespace quorvel
