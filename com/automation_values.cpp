#include "com/automation_values.h"

#include <cstdint>
#include <limits>
#include <new>
#include <utility>

namespace orvane::com {
namespace {

using windows::Bstr;
using windows::ComPtr;

// An object whose default value is itself an object, and so on, is followed this far.
constexpr int objects_followed_at_most = 8;

// The interface through which an object's default value is read; empty for none.
ComPtr<IDispatch> dispatch_of(const VARIANT* object) {
  const bool by_reference = (object->vt & VT_BYREF) != 0;
  ComPtr<IDispatch> dispatch;
  if ((object->vt & VT_TYPEMASK) == VT_DISPATCH) {
    IDispatch* held = by_reference ? *object->ppdispVal : object->pdispVal;
    if (held != nullptr) held->AddRef();
    dispatch.reset(held);
  } else {
    IUnknown* held = by_reference ? *object->ppunkVal : object->punkVal;
    if (held != nullptr) held->QueryInterface(IID_IDispatch, dispatch.put_void());
  }
  return dispatch;
}

// A copy that never copies a std::variant as a whole (see PassedVariant): a string is copied
// first, by itself, and then moved in.
Variant copy_of(const Variant& value) {
  return std::visit(
      [](const auto& held) -> Variant {
        if constexpr (std::is_same_v<std::decay_t<decltype(held)>, Variant::Empty>) {
          return Variant();
        } else {
          return Variant(held);
        }
      },
      value.value());
}

// The value itself, or what the reference that the caller passed points to.
template <typename T>
T held_value(const VARIANT* value, const T& direct, const T* referred_to) {
  return (value->vt & VT_BYREF) != 0 ? *referred_to : direct;
}

// The value of a VARIANT of one of the integer kinds.
Variant integer_value(const VARIANT* value) {
  switch (value->vt & VT_TYPEMASK) {
    case VT_I1:
      return Variant(std::int64_t{held_value(value, value->cVal, value->pcVal)});
    case VT_UI1:
      return Variant(std::int64_t{held_value(value, value->bVal, value->pbVal)});
    case VT_I2:
      return Variant(std::int64_t{held_value(value, value->iVal, value->piVal)});
    case VT_UI2:
      return Variant(std::int64_t{held_value(value, value->uiVal, value->puiVal)});
    case VT_I4:
      return Variant(std::int64_t{held_value(value, value->lVal, value->plVal)});
    case VT_UI4:
      return Variant(std::int64_t{held_value(value, value->ulVal, value->pulVal)});
    case VT_INT:
      return Variant(std::int64_t{held_value(value, value->intVal, value->pintVal)});
    case VT_UINT:
      return Variant(std::int64_t{held_value(value, value->uintVal, value->puintVal)});
    case VT_I8:
      return Variant(std::int64_t{held_value(value, value->llVal, value->pllVal)});
    case VT_UI8: {
      const ULONGLONG number = held_value(value, value->ullVal, value->pullVal);
      // Above the 64-bit integers, a decimal still holds every digit.
      if (number > static_cast<ULONGLONG>(std::numeric_limits<std::int64_t>::max())) {
        return Variant::Decimal{false, 0, 0, number};
      }
      return Variant(static_cast<std::int64_t>(number));
    }
  }
  return Variant();
}

// The value of a VARIANT that holds no object, array or reference to a VARIANT.
Variant plain_value(const VARIANT* value) {
  const bool by_reference = (value->vt & VT_BYREF) != 0;
  switch (value->vt & VT_TYPEMASK) {
    case VT_EMPTY:
      return Variant();
    case VT_NULL:
      return Variant::null();
    case VT_BSTR:
      return Variant(text_from(by_reference ? value->pbstrVal : &value->bstrVal));
    case VT_BOOL:
      return Variant(held_value(value, value->boolVal, value->pboolVal) != VARIANT_FALSE);
    case VT_I1:
    case VT_UI1:
    case VT_I2:
    case VT_UI2:
    case VT_I4:
    case VT_UI4:
    case VT_INT:
    case VT_UINT:
    case VT_I8:
    case VT_UI8:
      return integer_value(value);
    case VT_R4:
      return Variant(held_value(value, value->fltVal, value->pfltVal));
    case VT_R8:
      return Variant(held_value(value, value->dblVal, value->pdblVal));
    case VT_DATE:
      return Variant::Date{held_value(value, value->date, value->pdate)};
    case VT_CY:
      return Variant::Currency{held_value(value, value->cyVal, value->pcyVal).int64};
    case VT_DECIMAL: {
      const DECIMAL& number = by_reference ? *value->pdecVal : value->decVal;
      return Variant::Decimal{(number.sign & DECIMAL_NEG) != 0, number.scale, number.Hi32,
                              number.Lo64};
    }
    case VT_ERROR:
      return Variant::Error{held_value(value, value->scode, value->pscode)};
  }
  return Variant::NoText{};  // a record
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

// The string a caller's variable holds, itself or by reference; nullptr for another kind.
const BSTR* text_held(const VARIANT* variable) {
  const VARIANT* value = variable == nullptr ? nullptr : referred(variable);
  if (value == nullptr || dangling(value)) return nullptr;
  if (value->vt == VT_BSTR) return &value->bstrVal;
  if (value->vt == (VT_BYREF | VT_BSTR)) return value->pbstrVal;
  return nullptr;
}

}  // namespace

bool defined_type(VARTYPE type) {
  const VARTYPE flags = type & ~VT_TYPEMASK;
  if ((flags & ~(VT_BYREF | VT_ARRAY)) != 0) return false;
  switch (type & VT_TYPEMASK) {
    case VT_EMPTY:
    case VT_NULL:
      return flags == 0;
    case VT_VARIANT:  // only as what a reference or an array's element is
      return flags != 0;
    case VT_I2:
    case VT_I4:
    case VT_R4:
    case VT_R8:
    case VT_CY:
    case VT_DATE:
    case VT_BSTR:
    case VT_DISPATCH:
    case VT_ERROR:
    case VT_BOOL:
    case VT_UNKNOWN:
    case VT_DECIMAL:
    case VT_I1:
    case VT_UI1:
    case VT_UI2:
    case VT_UI4:
    case VT_I8:
    case VT_UI8:
    case VT_INT:
    case VT_UINT:
    case VT_RECORD:
      return true;
  }
  return false;
}

bool dangling(const VARIANT* value) {
  return (value->vt & VT_BYREF) != 0 && value->byref == nullptr;
}

const VARIANT* referred(const VARIANT* value) {
  if (value->vt != (VT_BYREF | VT_VARIANT) || value->pvarVal == nullptr) return value;
  const VARIANT* held = value->pvarVal;
  return held->vt == (VT_BYREF | VT_VARIANT) ? nullptr : held;
}

bool is_object(const VARIANT* value) {
  const VARTYPE type = value->vt & ~VT_BYREF;
  return type == VT_DISPATCH || type == VT_UNKNOWN;
}

const VARIANT* default_value(const VARIANT* object, OwnedVariant& storage) {
  const VARIANT* value = object;
  for (int followed = 0; followed < objects_followed_at_most; ++followed) {
    const ComPtr<IDispatch> dispatch = dispatch_of(value);
    if (!dispatch) return nullptr;
    DISPPARAMS no_arguments = {nullptr, nullptr, 0, 0};
    OwnedVariant result;
    if (FAILED(dispatch->Invoke(DISPID_VALUE, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET,
                                &no_arguments, result.get(), nullptr, nullptr))) {
      return nullptr;
    }
    // The object asked is kept alive by `dispatch` while the value it came from goes.
    storage = std::move(result);
    value = referred(storage.get());
    if (value == nullptr || dangling(value) || !defined_type(value->vt)) return nullptr;
    if (!is_object(value)) return value;
  }
  return nullptr;
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
  const VARIANT* value = referred(argument);
  if (value == nullptr || dangling(value) || !defined_type(value->vt)) return Variant::NoText{};
  OwnedVariant object_value;
  if (is_object(value)) value = default_value(value, object_value);
  if (value == nullptr || (value->vt & VT_ARRAY) != 0) return Variant::NoText{};
  return plain_value(value);
}

bool holds(const BSTR* variable, const Text& value) {
  const BSTR text = variable == nullptr ? nullptr : *variable;
  const std::size_t length = text == nullptr ? 0 : SysStringLen(text);
  return length == value.size() &&
         (length == 0 || std::char_traits<char16_t>::compare(
                             reinterpret_cast<const char16_t*>(text), value.data(), length) == 0);
}

PassedVariant::PassedVariant(const VARIANT* variable, const Variant& read)
    : text_(text_held(variable)) {
  if (text_ == nullptr) otherwise_.emplace(copy_of(read));
}

bool PassedVariant::replaced_by(const Variant& now) const {
  if (otherwise_) return !(now == *otherwise_);
  const Text* text = now.text_if();
  return text == nullptr || !holds(text_, *text);
}

void write_back(BSTR* target, const Text& value) {
  if (target == nullptr) return;
  // Made before the old string goes, so a method's write always hands over another string.
  Bstr replacement(bstr_from(value));
  const Bstr old(std::exchange(*target, replacement.release()));
}

void write_back(VARIANT* target, const Variant& value) {
  if (target == nullptr) return;
  target = const_cast<VARIANT*>(referred(target));
  if (target == nullptr || dangling(target)) return;
  // The core writes text back (a signature, a restored file name); a String variable by
  // reference keeps its type.
  const Text* text = value.text_if();
  if (text != nullptr && target->vt == (VT_BYREF | VT_BSTR)) {
    write_back(target->pbstrVal, *text);
    return;
  }
  OwnedVariant replacement;
  if (!automation_value(value, *replacement.get())) return;
  const OwnedVariant old = OwnedVariant::take(*target);
  *target = replacement.release();
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
