#pragma once

// Automation values (VARIANT, BSTR, VARIANT_BOOL) as the core's Variant and Text, and back.
// The core never sees a VARIANT; nothing below com/ knows these types.

#include <windows.h>

#include <optional>

// The platform's rpcndr.h declares a global `boolean`, which a parameter name of the core's
// Variant shadows; the core is right to use the name.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wshadow"
#include "runtime/text.h"
#include "runtime/variant.h"
#pragma GCC diagnostic pop
#include "runtime/windows/owned.h"

namespace orvane::com {

using windows::OwnedVariant;

// Whether automation defines `type` for a VARIANT: no VT_VECTOR or other flag but VT_BYREF and
// VT_ARRAY, no number it does not name, Empty and Null only as themselves.
bool defined_type(VARTYPE type);

// A reference to nothing, which the platform's conversions and copies would follow.
bool dangling(const VARIANT* value);

// What `value` holds through the one reference to a VARIANT that automation allows; nullptr
// for a reference to such a reference (a variable that refers to itself, or a chain of them).
const VARIANT* referred(const VARIANT* value);

bool is_object(const VARIANT* value);

// The value an object stands for: its default value (DISPID_VALUE), as the automation runtime
// reads it to convert one, through defaults that are objects again at most 8 times. nullptr for
// an object without one; the value lies in `storage`, or where a reference there points.
const VARIANT* default_value(const VARIANT* object, OwnedVariant& storage);

// The value a VARIANT holds, in its own kind; an object gives its default value. An array, an
// object without a default value, a reference to nothing, a chain of references and a type that
// automation does not define become the kind without text, which fails with Type mismatch
// where a method converts it, as an error value (an omitted argument) does.
Variant variant_from(const VARIANT* value);

// A BSTR's text; a null BSTR, and a null pointer to one, are "" as in automation.
Text text_from(const BSTR* value);
// A VARIANT_BOOL argument; a null pointer (an optional argument left out) is False.
VariantBool bool_from(const VARIANT_BOOL* value);

// A new BSTR holding `text`; throws std::bad_alloc.
BSTR bstr_from(const Text& text);

// Whether the caller's variable still holds `value`, compared where it lies.
bool holds(const BSTR* variable, const Text& value);

// What the caller passed in a by-reference VARIANT, to tell after the core's call whether the
// core replaced it. A string in the caller's variable is compared where it lies: a copy of a
// huge one could run out of memory inside a std::variant's copy, which GCC 12's library then
// destroys as if it had been made.
class PassedVariant {
 public:
  PassedVariant(const VARIANT* variable, const Variant& read);
  bool replaced_by(const Variant& now) const;

 private:
  const BSTR* text_;                  // the string that the variable holds, if it holds one
  std::optional<Variant> otherwise_;  // what was read, when it does not
};

// Writes `value` into the caller's variable, through a reference that it holds.
void write_back(VARIANT* target, const Variant& value);
void write_back(BSTR* target, const Text& value);

// Sets an out-parameter that holds nothing yet.
void set_result(VARIANT* result, const Text& value);
void set_result(BSTR* result, const Text& value);

}  // namespace orvane::com
