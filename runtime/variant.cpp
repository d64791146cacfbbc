#include "runtime/variant.h"

#include <cmath>
#include <cstdio>
#include <string>

#include "runtime/failure.h"

namespace orvane {
namespace {

// Doubles print as the runtime prints them: 15 significant digits, the shorter of fixed and
// exponent form, two-digit exponents ("1E-05", "1E+15"), and never a negative zero.
Text double_text(double number) {
  if (number == 0.0) return u"0";
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.15G", number);
  return text_from_ascii(buffer);
}

struct ToText {
  Text operator()(const Variant::Empty&) const { return {}; }
  Text operator()(const Variant::Null&) const { throw Failure(RuntimeError::invalid_use_of_null); }
  Text operator()(const Text& text) const { return text; }
  Text operator()(bool boolean) const { return boolean ? u"True" : u"False"; }
  Text operator()(std::int64_t integer) const { return decimal_text(integer); }
  Text operator()(double number) const { return double_text(number); }
};

}  // namespace

Text to_text(const Variant& value) {
  return std::visit(ToText{}, value.value());
}

}  // namespace orvane
