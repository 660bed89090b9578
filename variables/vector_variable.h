// CBoundNumericVectorVariable: doubles keyed by any 32-bit index, each with a
// status of its own.
#pragma once

#include <unordered_map>

#include "variable_core.h"

namespace quorvel {

class CBoundNumericVectorVariable
    : public BoundVariable<CBoundNumericVectorVariable, IBoundNumericVectorVariable,
                           eNumericVectorVariable> {
  public:
    // Reads make a missing element only when create-on-request is on.
    HRESULT STDMETHODCALLTYPE get_Value(LONG cIdx, double* Value) noexcept override;
    // Tells the sinks first, while the vector still holds its old state; then writes.
    HRESULT STDMETHODCALLTYPE put_Value(LONG cIdx, double value) noexcept override;
    HRESULT STDMETHODCALLTYPE VectorLength(LONG* cLength) noexcept override;
    HRESULT STDMETHODCALLTYPE SetDefaultValue(double Value) noexcept override;
    HRESULT STDMETHODCALLTYPE CreateOnRequest(LONG bCreate) noexcept override;
    HRESULT STDMETHODCALLTYPE Erase() noexcept override;
    HRESULT STDMETHODCALLTYPE get_VectorVariableStatus(LONG cIdx,
                                                       tagVariableStatus* pVal) noexcept override;
    HRESULT STDMETHODCALLTYPE put_VectorVariableStatus(LONG cIdx,
                                                       tagVariableStatus status) noexcept override;

    void copy_value_into(CBoundNumericVectorVariable& copy) const;

  private:
    struct VectorItem {
        double m_dValue;
        tagVariableStatus m_eStatus;
    };
    // Reads one field of the element at `index` into `*out`, which holds
    // `preset` when there is none; a missing element is made only when
    // create-on-request is on.
    template <class Field>
    HRESULT read_element(LONG index, Field VectorItem::*field, Field preset, Field* out) noexcept;

    double m_dDefaultValue = kUnsetValue;
    LONG m_bCreateOnRequest = 0;
    std::unordered_map<LONG, VectorItem> m_vecItems;
};

}  // namespace quorvel
