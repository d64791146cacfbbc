#pragma once

// Automation values (VARIANT, BSTR, VARIANT_BOOL) as the core's Variant and Text, and back.
// The core never sees a VARIANT; nothing below com/ knows these types.

#include <windows.h>

// The platform's rpcndr.h declares a global `boolean`, which a parameter name of the core's
// Variant shadows; the core is right to use the name.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wshadow"
#include "runtime/text.h"
#include "runtime/variant.h"
#pragma GCC diagnostic pop

namespace orvane::com {

// The value a VARIANT holds, through any number of references, in its own kind; an object
// gives its default value. An array, an object without a default value and a reference to
// nothing become the kind without text, which fails with Type mismatch where a method
// converts it, as an error value (an omitted argument) does.
Variant variant_from(const VARIANT* value);

// A reference to nothing, which the platform's conversions and copies would follow.
bool dangling(const VARIANT* value);

// A BSTR's text; a null BSTR, and a null pointer to one, are "" as in automation.
Text text_from(const BSTR* value);
// A VARIANT_BOOL argument; a null pointer (an optional argument left out) is False.
VariantBool bool_from(const VARIANT_BOOL* value);

// A new BSTR holding `text`; throws std::bad_alloc.
BSTR bstr_from(const Text& text);

// Writes `value` into the caller's variable, through a reference that it holds.
void write_back(VARIANT* target, const Variant& value);
void write_back(BSTR* target, const Text& value);

// Sets an out-parameter that holds nothing yet.
void set_result(VARIANT* result, const Text& value);
void set_result(BSTR* result, const Text& value);

}  // namespace orvane::com
