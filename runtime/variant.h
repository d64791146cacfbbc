#pragma once

#include <cstdint>
#include <variant>

#include "runtime/text.h"

namespace orvane {

// VARIANT_BOOL: True is -1, False is 0. Kept as a 16-bit integer because some callers look at
// the exact value (only -1 selects a detached verification).
using VariantBool = std::int16_t;
inline constexpr VariantBool vb_true = -1;
inline constexpr VariantBool vb_false = 0;

// The kinds of automation VARIANT that callers hand to the component. Every kind a script or a
// host can pass is carried as it came, so that a method converts it at its own stage and a
// failed conversion gets that stage's answer.
class Variant {
 public:
  struct Empty {
    bool operator==(const Empty&) const = default;
  };
  struct Null {
    bool operator==(const Null&) const = default;
  };
  // An automation date: days since 1899-12-30, the fraction's magnitude giving the time of day.
  struct Date {
    double days = 0;
    bool operator==(const Date&) const = default;
  };
  // Currency: a 64-bit integer scaled by 10,000.
  struct Currency {
    std::int64_t scaled = 0;
    bool operator==(const Currency&) const = default;
  };
  // A decimal: a 96-bit unsigned integer (high 32 bits, low 64 bits) divided by 10^scale.
  struct Decimal {
    bool negative = false;
    std::uint8_t scale = 0;
    std::uint32_t high = 0;
    std::uint64_t low = 0;
    bool operator==(const Decimal&) const = default;
  };
  // An error value (an SCODE); an omitted argument arrives as DISP_E_PARAMNOTFOUND.
  struct Error {
    std::int32_t code = 0;
    bool operator==(const Error&) const = default;
  };
  // A value that has no text: an array, or an object without a default value.
  struct NoText {
    bool operator==(const NoText&) const = default;
  };
  using Value = std::variant<Empty, Null, Text, bool, std::int64_t, float, double, Date, Currency,
                             Decimal, Error, NoText>;

  Variant() = default;
  Variant(Text text) : value_(std::move(text)) {}
  Variant(const char16_t* text) : value_(Text(text)) {}
  Variant(Null null) : value_(null) {}
  Variant(bool boolean) : value_(boolean) {}
  Variant(std::int64_t integer) : value_(integer) {}
  Variant(int integer) : value_(std::int64_t{integer}) {}
  // A single-precision number keeps its kind: it converts to text with its own 7 digits.
  Variant(float number) : value_(number) {}
  Variant(double number) : value_(number) {}
  Variant(Date date) : value_(date) {}
  Variant(Currency currency) : value_(currency) {}
  Variant(Decimal decimal) : value_(decimal) {}
  Variant(Error error) : value_(error) {}
  Variant(NoText value) : value_(value) {}

  static Variant null() { return Variant(Null{}); }

  bool is_empty() const { return std::holds_alternative<Empty>(value_); }
  bool is_null() const { return std::holds_alternative<Null>(value_); }
  // The string a Variant of the String kind holds; nullptr for every other kind.
  const Text* text_if() const { return std::get_if<Text>(&value_); }
  const Value& value() const { return value_; }

  bool operator==(const Variant&) const = default;

 private:
  Value value_;
};

// The automation runtime's conversion to text: Empty gives "", True gives "True", numbers are
// written in decimal with "." (doubles with up to 15 significant digits, singles with 7,
// currency and decimals exactly), dates as "DD/MM/YYYY", "HH:MM:SS" or both. Null throws
// Failure 94; an error, an array or an object throws Failure 13, a date out of the automation
// range Failure 5.
Text to_text(const Variant& value);

}  // namespace orvane
