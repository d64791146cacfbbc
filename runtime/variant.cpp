#include "runtime/variant.h"

#include <cmath>
#include <cstdio>
#include <string>

#include "runtime/automation_date.h"
#include "runtime/failure.h"

namespace orvane {
namespace {

// Floating-point numbers print as the runtime prints them: 15 significant digits for doubles
// and 7 for singles, the shorter of fixed and exponent form, two-digit exponents ("1E-05",
// "1E+15"), and never a negative zero.
Text floating_text(double number, const char* format) {
  if (number == 0.0) return u"0";
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, format, number);
  return text_from_ascii(buffer);
}

// A 96-bit magnitude over 10^scale as the runtime writes decimals and currency: every digit,
// no trailing zeros after the point, no point without a fraction, no negative zero.
Text scaled_text(const Variant::Decimal& number) {
  std::uint32_t limbs[3] = {number.high, static_cast<std::uint32_t>(number.low >> 32),
                            static_cast<std::uint32_t>(number.low)};
  std::string digits;
  while (limbs[0] != 0 || limbs[1] != 0 || limbs[2] != 0) {
    std::uint64_t remainder = 0;
    for (std::uint32_t& limb : limbs) {
      const std::uint64_t part = (remainder << 32) | limb;
      limb = static_cast<std::uint32_t>(part / 10);
      remainder = part % 10;
    }
    digits.insert(digits.begin(), static_cast<char>('0' + remainder));
  }
  const std::size_t scale = number.scale;
  if (digits.size() <= scale) digits.insert(0, scale + 1 - digits.size(), '0');
  std::string whole = digits.substr(0, digits.size() - scale);
  std::string fraction = digits.substr(digits.size() - scale);
  fraction.erase(fraction.find_last_not_of('0') + 1);
  std::string written = fraction.empty() ? whole : whole + "." + fraction;
  if (number.negative && written != "0") written.insert(0, 1, '-');
  return text_from_ascii(written);
}

Variant::Decimal currency_as_decimal(std::int64_t scaled) {
  // The magnitude in unsigned arithmetic, so the most negative amount has one too.
  const std::uint64_t magnitude =
      scaled < 0 ? std::uint64_t{0} - static_cast<std::uint64_t>(scaled) : std::uint64_t(scaled);
  return {scaled < 0, 4, 0, magnitude};
}

struct ToText {
  Text operator()(const Variant::Empty&) const { return {}; }
  Text operator()(const Variant::Null&) const { throw Failure(RuntimeError::invalid_use_of_null); }
  Text operator()(const Text& text) const { return text; }
  Text operator()(bool boolean) const { return boolean ? u"True" : u"False"; }
  Text operator()(std::int64_t integer) const { return decimal_text(integer); }
  Text operator()(float number) const { return floating_text(number, "%.7G"); }
  Text operator()(double number) const { return floating_text(number, "%.15G"); }
  Text operator()(const Variant::Date& date) const { return automation_date_text(date.days); }
  Text operator()(const Variant::Currency& amount) const {
    return scaled_text(currency_as_decimal(amount.scaled));
  }
  Text operator()(const Variant::Decimal& number) const { return scaled_text(number); }
  Text operator()(const Variant::Error&) const { throw Failure(RuntimeError::type_mismatch); }
  Text operator()(const Variant::NoText&) const { throw Failure(RuntimeError::type_mismatch); }
};

}  // namespace

Text to_text(const Variant& value) {
  return std::visit(ToText{}, value.value());
}

}  // namespace orvane
