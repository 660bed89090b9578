#include "numeric_variable.h"

#include "module/class_table.h"

namespace quorvel {

HRESULT CBoundNumericVariable::get_Value(double* pVal) noexcept {
    return value_out(m_dValue, pVal);
}

HRESULT CBoundNumericVariable::put_Value(double value) noexcept {
    m_dValue = value;
    notify_changing();
    return S_OK;
}

HRESULT create_bound_numeric_variable(IUnknown* outer, REFIID riid, void** ppv) noexcept {
    return create_instance<CBoundNumericVariable>(outer, riid, ppv);
}

}  // namespace quorvel
