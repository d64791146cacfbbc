#include "com/automation_values.h"

#include <limits>
#include <new>

namespace orvane::com {
namespace {

const VARIANT* dereferenced(const VARIANT* value) {
  // A variable passed by reference arrives as a VARIANT that refers to the caller's VARIANT.
  while (value->vt == (VT_BYREF | VT_VARIANT) && value->pvarVal != nullptr) value = value->pvarVal;
  return value;
}

}  // namespace

bool dangling(const VARIANT* value) {
  return (value->vt & VT_BYREF) != 0 && value->byref == nullptr;
}

Text text_from(const BSTR* value) {
  if (value == nullptr || *value == nullptr) return {};
  return Text(reinterpret_cast<const char16_t*>(*value), SysStringLen(*value));
}

VariantBool bool_from(const VARIANT_BOOL* value) {
  return value == nullptr ? vb_false : static_cast<VariantBool>(*value);
}

BSTR bstr_from(const Text& text) {
  BSTR made = SysAllocStringLen(reinterpret_cast<const OLECHAR*>(text.data()),
                                static_cast<UINT>(text.size()));
  if (made == nullptr) throw std::bad_alloc();
  return made;
}

std::optional<Variant> variant_from(const VARIANT* argument) {
  if (argument == nullptr) return Variant();
  const VARIANT* source = dereferenced(argument);
  if (dangling(source)) return std::nullopt;
  VARIANT value;
  VariantInit(&value);
  // Copying through the platform takes every reference off (VT_BYREF of any kind).
  // The platform reads the source but declares it writable.
  if (FAILED(VariantCopyInd(&value, const_cast<VARIANT*>(source)))) {
    return std::nullopt;
  }
  std::optional<Variant> result;
  switch (value.vt) {
    case VT_EMPTY:
      result = Variant();
      break;
    case VT_NULL:
      result = Variant::null();
      break;
    case VT_BSTR:
      result = Variant(text_from(&value.bstrVal));
      break;
    case VT_BOOL:
      result = Variant(value.boolVal != VARIANT_FALSE);
      break;
    case VT_I1:
      result = Variant(std::int64_t{value.cVal});
      break;
    case VT_UI1:
      result = Variant(std::int64_t{value.bVal});
      break;
    case VT_I2:
      result = Variant(std::int64_t{value.iVal});
      break;
    case VT_UI2:
      result = Variant(std::int64_t{value.uiVal});
      break;
    case VT_I4:
      result = Variant(std::int64_t{value.lVal});
      break;
    case VT_UI4:
      result = Variant(std::int64_t{value.ulVal});
      break;
    case VT_INT:
      result = Variant(std::int64_t{value.intVal});
      break;
    case VT_UINT:
      result = Variant(std::int64_t{value.uintVal});
      break;
    case VT_I8:
      result = Variant(std::int64_t{value.llVal});
      break;
    case VT_R4:
      result = Variant(double{value.fltVal});
      break;
    case VT_R8:
      result = Variant(value.dblVal);
      break;
    case VT_UI8:
      if (value.ullVal <= static_cast<ULONGLONG>(std::numeric_limits<std::int64_t>::max())) {
        result = Variant(static_cast<std::int64_t>(value.ullVal));
        break;
      }
      [[fallthrough]];
    default: {
      // The automation runtime's own conversion to text, in the user's locale as a script's
      // CStr does it.
      VARIANT converted;
      VariantInit(&converted);
      if (SUCCEEDED(VariantChangeTypeEx(&converted, &value, LOCALE_USER_DEFAULT, 0, VT_BSTR))) {
        result = Variant(text_from(&converted.bstrVal));
      }
      VariantClear(&converted);
    }
  }
  VariantClear(&value);
  return result;
}

void write_back(BSTR* target, const Text& value) {
  if (target == nullptr) return;
  BSTR replacement = bstr_from(value);
  SysFreeString(*target);
  *target = replacement;
}

void write_back(VARIANT* target, const Variant& value) {
  if (target == nullptr) return;
  while (target->vt == (VT_BYREF | VT_VARIANT) && target->pvarVal != nullptr) {
    target = target->pvarVal;
  }
  // The core writes text back (a signature, a restored file name); a String variable by
  // reference keeps its type.
  const Text* text = value.text_if();
  if (text != nullptr && target->vt == (VT_BYREF | VT_BSTR) && target->pbstrVal != nullptr) {
    write_back(target->pbstrVal, *text);
    return;
  }
  VARIANT replacement;
  VariantInit(&replacement);
  const Variant::Value& held = value.value();
  if (text != nullptr) {
    replacement.vt = VT_BSTR;
    replacement.bstrVal = bstr_from(*text);
  } else if (value.is_null()) {
    replacement.vt = VT_NULL;
  } else if (const bool* boolean = std::get_if<bool>(&held)) {
    replacement.vt = VT_BOOL;
    replacement.boolVal = *boolean ? VARIANT_TRUE : VARIANT_FALSE;
  } else if (const std::int64_t* integer = std::get_if<std::int64_t>(&held)) {
    replacement.vt = VT_I8;
    replacement.llVal = *integer;
  } else if (const double* number = std::get_if<double>(&held)) {
    replacement.vt = VT_R8;
    replacement.dblVal = *number;
  }
  VariantClear(target);
  *target = replacement;
}

void set_result(VARIANT* result, const Text& value) {
  VariantInit(result);
  result->vt = VT_BSTR;
  result->bstrVal = bstr_from(value);
}

void set_result(BSTR* result, const Text& value) {
  *result = bstr_from(value);
}

}  // namespace orvane::com
