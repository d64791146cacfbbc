#include "com/dispatch_arguments.h"

#include <new>

#include "com/automation_values.h"

namespace orvane::com {
namespace {

bool omitted(const VARIANT* argument) {
  return argument == nullptr ||
         (argument->vt == VT_ERROR && argument->scode == DISP_E_PARAMNOTFOUND);
}

void check_allocated(HRESULT result) {
  if (result == E_OUTOFMEMORY) throw std::bad_alloc();
}

}  // namespace

DispatchArguments::DispatchArguments(const Member& member, const DISPPARAMS& parameters)
    : slots_(member.parameters.size()) {
  for (Slot& slot : slots_) VariantInit(&slot.local);
  // The caller's counts are not trusted to match its arrays' presence or each other.
  if (parameters.cNamedArgs > parameters.cArgs ||
      (parameters.cArgs > 0 && parameters.rgvarg == nullptr) ||
      (parameters.cNamedArgs > 0 && parameters.rgdispidNamedArgs == nullptr)) {
    throw DispatchRefusal{E_INVALIDARG, 0};
  }
  const UINT named = parameters.cNamedArgs;
  const UINT positional = parameters.cArgs - named;
  // A property put names its value DISPID_PROPERTYPUT; it is the last parameter.
  const bool put = named == 1 && parameters.rgdispidNamedArgs[0] == DISPID_PROPERTYPUT;
  if (parameters.cArgs > slots_.size()) throw DispatchRefusal{DISP_E_BADPARAMCOUNT, 0};
  std::vector<VARIANT*> given(slots_.size(), nullptr);
  std::vector<UINT> position(slots_.size(), 0);
  // rgvarg holds the arguments in reverse order, the named ones first.
  for (UINT i = 0; i < positional; ++i) {
    given[i] = &parameters.rgvarg[parameters.cArgs - 1 - i];
    position[i] = parameters.cArgs - 1 - i;
  }
  for (UINT i = 0; i < named; ++i) {
    const DISPID id =
        put ? static_cast<DISPID>(slots_.size() - 1) : parameters.rgdispidNamedArgs[i];
    if (id < 0 || static_cast<size_t>(id) >= slots_.size() || given[id] != nullptr) {
      throw DispatchRefusal{DISP_E_PARAMNOTFOUND, i};
    }
    given[id] = &parameters.rgvarg[i];
    position[id] = i;
  }
  for (size_t i = 0; i < slots_.size(); ++i) {
    fill(slots_[i], member.parameters[i], given[i], position[i]);
  }
}

DispatchArguments::~DispatchArguments() {
  for (Slot& slot : slots_) VariantClear(&slot.local);
}

void DispatchArguments::fill(Slot& slot, const Parameter& parameter, VARIANT* argument,
                             UINT position) {
  if (omitted(argument)) {
    if (parameter.default_value == DefaultValue::none) {
      // A VARIANT parameter sees an omitted argument as automation does: an Error value.
      if (parameter.type != VT_VARIANT || argument == nullptr) {
        throw DispatchRefusal{DISP_E_PARAMNOTOPTIONAL, position};
      }
    } else if (parameter.default_value == DefaultValue::empty_text) {
      slot.local.vt = VT_BSTR;
      slot.local.bstrVal = SysAllocString(L"");
      if (slot.local.bstrVal == nullptr) throw std::bad_alloc();
      slot.bstr = &slot.local.bstrVal;
      return;
    } else {
      slot.local.vt = VT_BOOL;
      slot.local.boolVal = VARIANT_FALSE;
      slot.boolean = &slot.local.boolVal;
      return;
    }
  }
  if (dangling(argument) ||
      (argument->vt == (VT_BYREF | VT_VARIANT) && dangling(argument->pvarVal))) {
    throw DispatchRefusal{DISP_E_TYPEMISMATCH, position};
  }
  if (parameter.type == VT_VARIANT) {
    // The copy keeps any reference, so the method's writes reach the caller's variable.
    check_allocated(VariantCopy(&slot.local, argument));
    return;
  }
  // A variable of the parameter's own type by reference is handed on as it is.
  if (parameter.by_reference && argument->vt == (VT_BYREF | parameter.type)) {
    if (parameter.type == VT_BSTR) slot.bstr = argument->pbstrVal;
    if (parameter.type == VT_BOOL) slot.boolean = argument->pboolVal;
    return;
  }
  VARIANT* value = argument;
  if (value->vt == (VT_BYREF | VT_VARIANT) && value->pvarVal != nullptr) {
    if (parameter.by_reference) slot.variable = value->pvarVal;
    value = value->pvarVal;
  }
  const HRESULT converted =
      VariantChangeTypeEx(&slot.local, value, LOCALE_USER_DEFAULT, 0, parameter.type);
  check_allocated(converted);
  if (FAILED(converted)) throw DispatchRefusal{DISP_E_TYPEMISMATCH, position};
  if (parameter.type == VT_BSTR) slot.bstr = &slot.local.bstrVal;
  if (parameter.type == VT_BOOL) slot.boolean = &slot.local.boolVal;
}

void DispatchArguments::write_back() {
  for (Slot& slot : slots_) {
    if (slot.variable == nullptr) continue;
    VARIANT copy;
    VariantInit(&copy);
    check_allocated(VariantCopy(&copy, &slot.local));
    VariantClear(slot.variable);
    *slot.variable = copy;
  }
}

}  // namespace orvane::com
