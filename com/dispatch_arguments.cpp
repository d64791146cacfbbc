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

// An omitted optional argument: the type library's default.
void fill_default(windows::OwnedVariant& local, DefaultValue default_value) {
  if (default_value == DefaultValue::empty_text) {
    local->bstrVal = SysAllocString(L"");
    if (local->bstrVal == nullptr) throw std::bad_alloc();
    local->vt = VT_BSTR;
  } else {
    local->vt = VT_BOOL;
    local->boolVal = VARIANT_FALSE;
  }
}

// What a variable passed by reference holds, refused when the platform's copies and
// conversions would follow it without end or misread it.
const VARIANT* checked_argument(const VARIANT* argument, UINT position) {
  if (!defined_type(argument->vt)) throw DispatchRefusal{DISP_E_BADVARTYPE, position};
  if (dangling(argument)) throw DispatchRefusal{DISP_E_TYPEMISMATCH, position};
  const VARIANT* held = referred(argument);
  if (held == nullptr || !defined_type(held->vt)) {
    throw DispatchRefusal{DISP_E_BADVARTYPE, position};
  }
  if (dangling(held)) throw DispatchRefusal{DISP_E_TYPEMISMATCH, position};
  return held;
}

}  // namespace

DispatchArguments::DispatchArguments(const Member& member, const DISPPARAMS& parameters)
    : slots_(member.parameters.size()) {
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

void DispatchArguments::fill(Slot& slot, const Parameter& parameter, VARIANT* argument,
                             UINT position) {
  if (omitted(argument)) {
    // A VARIANT parameter sees an omitted argument as automation does: an Error value.
    if (parameter.default_value == DefaultValue::none &&
        (parameter.type != VT_VARIANT || argument == nullptr)) {
      throw DispatchRefusal{DISP_E_PARAMNOTOPTIONAL, position};
    }
    if (parameter.default_value != DefaultValue::none) {
      fill_default(slot.local, parameter.default_value);
      if (parameter.type == VT_BSTR) slot.bstr = &slot.local->bstrVal;
      if (parameter.type == VT_BOOL) slot.boolean = &slot.local->boolVal;
      return;
    }
  }
  const VARIANT* held = checked_argument(argument, position);
  if (parameter.type == VT_VARIANT) {
    // The copy keeps any reference, so the method's writes reach the caller's variable.
    check_allocated(VariantCopy(slot.local.get(), argument));
    return;
  }
  // A variable of the parameter's own type by reference is handed on as it is.
  if (parameter.by_reference && argument->vt == (VT_BYREF | parameter.type)) {
    if (parameter.type == VT_BSTR) slot.bstr = argument->pbstrVal;
    if (parameter.type == VT_BOOL) slot.boolean = argument->pboolVal;
    return;
  }
  if (parameter.by_reference && held != argument) slot.variable = argument->pvarVal;
  // An object is read here, with the bound on defaults that are objects again: the platform's
  // conversion would follow an object that is its own default value until the stack ends.
  OwnedVariant object_value;
  if (is_object(held)) held = default_value(held, object_value);
  if (held == nullptr) throw DispatchRefusal{DISP_E_TYPEMISMATCH, position};
  const HRESULT converted = VariantChangeTypeEx(slot.local.get(), const_cast<VARIANT*>(held),
                                                LOCALE_USER_DEFAULT, 0, parameter.type);
  check_allocated(converted);
  if (FAILED(converted)) throw DispatchRefusal{DISP_E_TYPEMISMATCH, position};
  if (parameter.type == VT_BSTR) slot.bstr = &slot.local->bstrVal;
  if (parameter.type == VT_BOOL) slot.boolean = &slot.local->boolVal;
  slot.passed_text = slot.local->vt == VT_BSTR ? slot.local->bstrVal : nullptr;
  slot.passed_boolean = slot.local->vt == VT_BOOL ? slot.local->boolVal : VARIANT_FALSE;
}

void DispatchArguments::write_back() {
  for (Slot& slot : slots_) {
    if (slot.variable == nullptr) continue;
    const bool written = slot.local->vt == VT_BSTR ? slot.local->bstrVal != slot.passed_text
                                                   : slot.local->boolVal != slot.passed_boolean;
    if (!written) continue;
    OwnedVariant copy;
    check_allocated(VariantCopy(copy.get(), slot.local.get()));
    const OwnedVariant old = OwnedVariant::take(*slot.variable);
    *slot.variable = copy.release();
  }
}

}  // namespace orvane::com
