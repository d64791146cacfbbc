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

// The kinds of automation VARIANT that callers hand to the component.
class Variant {
 public:
  struct Empty {
    bool operator==(const Empty&) const = default;
  };
  struct Null {
    bool operator==(const Null&) const = default;
  };
  using Value = std::variant<Empty, Null, Text, bool, std::int64_t, double>;

  Variant() = default;
  Variant(Text text) : value_(std::move(text)) {}
  Variant(const char16_t* text) : value_(Text(text)) {}
  Variant(Null null) : value_(null) {}
  Variant(bool boolean) : value_(boolean) {}
  Variant(std::int64_t integer) : value_(integer) {}
  Variant(int integer) : value_(std::int64_t{integer}) {}
  Variant(double number) : value_(number) {}

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
// written in decimal (doubles with up to 15 significant digits). Null throws Failure 94.
Text to_text(const Variant& value);

}  // namespace orvane
