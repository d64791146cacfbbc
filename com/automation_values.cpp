#include "com/automation_values.h"

#include <cstdint>
#include <limits>
#include <new>

#include "com/com_ptr.h"

namespace orvane::com {
namespace {

// An object whose default value is itself an object, and so on, is followed this far.
constexpr int objects_followed_at_most = 8;

// A VARIANT of this file's own, cleared on every path.
struct OwnedVariant {
  OwnedVariant() { VariantInit(&value); }
  OwnedVariant(const OwnedVariant&) = delete;
  OwnedVariant& operator=(const OwnedVariant&) = delete;
  ~OwnedVariant() { VariantClear(&value); }
  VARIANT value;
};

Variant value_of(const VARIANT* value, int objects_followed);

// An object's default value (DISPID_VALUE), as the automation runtime reads it to convert one.
Variant default_value(IDispatch* object, int objects_followed) {
  if (object == nullptr || objects_followed >= objects_followed_at_most) return Variant::NoText{};
  DISPPARAMS no_arguments = {nullptr, nullptr, 0, 0};
  OwnedVariant result;
  if (FAILED(object->Invoke(DISPID_VALUE, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET,
                            &no_arguments, &result.value, nullptr, nullptr))) {
    return Variant::NoText{};
  }
  return value_of(&result.value, objects_followed + 1);
}

Variant default_value(IUnknown* object, int objects_followed) {
  ComPtr<IDispatch> dispatch;
  if (object == nullptr || FAILED(object->QueryInterface(IID_IDispatch, dispatch.put_void()))) {
    return Variant::NoText{};
  }
  return default_value(dispatch.get(), objects_followed);
}

Variant value_of(const VARIANT* value, int objects_followed) {
  // A variable passed by reference arrives as a VARIANT that refers to the caller's VARIANT.
  while (value->vt == (VT_BYREF | VT_VARIANT) && value->pvarVal != nullptr) value = value->pvarVal;
  if (dangling(value) || (value->vt & VT_ARRAY) != 0) return Variant::NoText{};
  const bool by_reference = (value->vt & VT_BYREF) != 0;
  // The value itself, or what the reference that the caller passed points to.
  const auto held = [by_reference](const auto& direct, const auto* referred) {
    return by_reference ? *referred : direct;
  };
  switch (value->vt & VT_TYPEMASK) {
    case VT_EMPTY:
      return Variant();
    case VT_NULL:
      return Variant::null();
    case VT_BSTR:
      return Variant(text_from(by_reference ? value->pbstrVal : &value->bstrVal));
    case VT_BOOL:
      return Variant(held(value->boolVal, value->pboolVal) != VARIANT_FALSE);
    case VT_I1:
      return Variant(std::int64_t{held(value->cVal, value->pcVal)});
    case VT_UI1:
      return Variant(std::int64_t{held(value->bVal, value->pbVal)});
    case VT_I2:
      return Variant(std::int64_t{held(value->iVal, value->piVal)});
    case VT_UI2:
      return Variant(std::int64_t{held(value->uiVal, value->puiVal)});
    case VT_I4:
      return Variant(std::int64_t{held(value->lVal, value->plVal)});
    case VT_UI4:
      return Variant(std::int64_t{held(value->ulVal, value->pulVal)});
    case VT_INT:
      return Variant(std::int64_t{held(value->intVal, value->pintVal)});
    case VT_UINT:
      return Variant(std::int64_t{held(value->uintVal, value->puintVal)});
    case VT_I8:
      return Variant(std::int64_t{held(value->llVal, value->pllVal)});
    case VT_UI8: {
      const ULONGLONG number = held(value->ullVal, value->pullVal);
      // Above the 64-bit integers, a decimal still holds every digit.
      if (number > static_cast<ULONGLONG>(std::numeric_limits<std::int64_t>::max())) {
        return Variant::Decimal{false, 0, 0, number};
      }
      return Variant(static_cast<std::int64_t>(number));
    }
    case VT_R4:
      return Variant(held(value->fltVal, value->pfltVal));
    case VT_R8:
      return Variant(held(value->dblVal, value->pdblVal));
    case VT_DATE:
      return Variant::Date{held(value->date, value->pdate)};
    case VT_CY:
      return Variant::Currency{held(value->cyVal, value->pcyVal).int64};
    case VT_DECIMAL: {
      const DECIMAL& number = by_reference ? *value->pdecVal : value->decVal;
      return Variant::Decimal{(number.sign & DECIMAL_NEG) != 0, number.scale, number.Hi32,
                              number.Lo64};
    }
    case VT_ERROR:
      return Variant::Error{held(value->scode, value->pscode)};
    case VT_DISPATCH:
      return default_value(held(value->pdispVal, value->ppdispVal), objects_followed);
    case VT_UNKNOWN:
      return default_value(held(value->punkVal, value->ppunkVal), objects_followed);
  }
  return Variant::NoText{};
}

// `value` as a VARIANT of its own kind; false for a kind that cannot be made again (an array
// or an object that the core holds only as having no text).
bool automation_value(const Variant& value, VARIANT& made) {
  const Variant::Value& held = value.value();
  if (const Text* text = value.text_if()) {
    made.bstrVal = bstr_from(*text);
    made.vt = VT_BSTR;
  } else if (value.is_empty()) {
    made.vt = VT_EMPTY;
  } else if (value.is_null()) {
    made.vt = VT_NULL;
  } else if (const bool* boolean = std::get_if<bool>(&held)) {
    made.vt = VT_BOOL;
    made.boolVal = *boolean ? VARIANT_TRUE : VARIANT_FALSE;
  } else if (const std::int64_t* integer = std::get_if<std::int64_t>(&held)) {
    made.vt = VT_I8;
    made.llVal = *integer;
  } else if (const float* single = std::get_if<float>(&held)) {
    made.vt = VT_R4;
    made.fltVal = *single;
  } else if (const double* number = std::get_if<double>(&held)) {
    made.vt = VT_R8;
    made.dblVal = *number;
  } else if (const auto* date = std::get_if<Variant::Date>(&held)) {
    made.vt = VT_DATE;
    made.date = date->days;
  } else if (const auto* amount = std::get_if<Variant::Currency>(&held)) {
    made.vt = VT_CY;
    made.cyVal.int64 = amount->scaled;
  } else if (const auto* decimal = std::get_if<Variant::Decimal>(&held)) {
    made.decVal.sign = decimal->negative ? DECIMAL_NEG : 0;
    made.decVal.scale = decimal->scale;
    made.decVal.Hi32 = decimal->high;
    made.decVal.Lo64 = decimal->low;
    made.vt = VT_DECIMAL;  // after the fields: the type shares the decimal's first bytes
  } else if (const auto* error = std::get_if<Variant::Error>(&held)) {
    made.vt = VT_ERROR;
    made.scode = error->code;
  } else {
    return false;
  }
  return true;
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

Variant variant_from(const VARIANT* argument) {
  if (argument == nullptr) return Variant();
  return value_of(argument, 0);
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
  if (!automation_value(value, replacement)) return;
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
