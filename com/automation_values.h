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

namespace orvane::com {

// The value a VARIANT holds, through any number of references. Kinds that the core's Variant
// does not carry (dates, currency, decimals, objects' default values) come as their automation
// text; nullopt for a value that has no text (an array, an error such as an omitted argument,
// an object without a default value), where the automation runtime fails with Type mismatch.
std::optional<Variant> variant_from(const VARIANT* value);

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
