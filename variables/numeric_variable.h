// CBoundNumericVariable: a bound variable holding one double.
#pragma once

#include "variable_core.h"

namespace quorvel {

class CBoundNumericVariable
    : public BoundVariable<CBoundNumericVariable, IBoundNumericVariable, eNumericVariable> {
  public:
    HRESULT STDMETHODCALLTYPE get_Value(double* pVal) noexcept override;
    // Stores the value, then tells the sinks: a sink reading it sees the new value.
    HRESULT STDMETHODCALLTYPE put_Value(double value) noexcept override;

    void copy_value_into(CBoundNumericVariable& copy) const noexcept { copy.m_dValue = m_dValue; }

  private:
    double m_dValue = kUnsetValue;
};

}  // namespace quorvel
