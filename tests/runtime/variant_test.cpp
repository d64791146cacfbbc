#include "runtime/variant.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>

#include "runtime/failure.h"

namespace orvane {
namespace {

TEST(VariantToText, EmptyStringAndBooleans) {
  EXPECT_EQ(to_text(Variant()), u"");
  EXPECT_EQ(to_text(Variant(u"a b ")), u"a b ");
  EXPECT_EQ(to_text(Variant(true)), u"True");
  EXPECT_EQ(to_text(Variant(false)), u"False");
}

TEST(VariantToText, NullFailsWithInvalidUseOfNull) {
  try {
    to_text(Variant::null());
    FAIL() << "Null converted to text";
  } catch (const Failure& failure) {
    EXPECT_EQ(failure.number(), 94);
    EXPECT_EQ(failure.description(), u"Invalid use of Null");
  }
}

TEST(VariantToText, IntegersInDecimal) {
  EXPECT_EQ(to_text(Variant(0)), u"0");
  EXPECT_EQ(to_text(Variant(-32768)), u"-32768");
  EXPECT_EQ(to_text(Variant(std::int64_t{2147483647})), u"2147483647");
}

TEST(VariantToText, DoublesAsTheRuntimePrintsThem) {
  EXPECT_EQ(to_text(Variant(1.5)), u"1.5");
  EXPECT_EQ(to_text(Variant(-2.25)), u"-2.25");
  EXPECT_EQ(to_text(Variant(0.1)), u"0.1");
  EXPECT_EQ(to_text(Variant(1.0 / 3.0)), u"0.333333333333333");
  EXPECT_EQ(to_text(Variant(100.0)), u"100");
  EXPECT_EQ(to_text(Variant(123456789012345.0)), u"123456789012345");
  EXPECT_EQ(to_text(Variant(1e15)), u"1E+15");
  EXPECT_EQ(to_text(Variant(0.0001)), u"0.0001");
  EXPECT_EQ(to_text(Variant(0.00001)), u"1E-05");
  EXPECT_EQ(to_text(Variant(-0.0)), u"0");
  // A single keeps its own precision rather than the double it widens to.
  EXPECT_EQ(to_text(Variant(0.1f)), u"0.1");
  EXPECT_EQ(to_text(Variant(1.0f / 3.0f)), u"0.3333333");
}

TEST(VariantToText, CurrencyAndDecimalsExactlyWithoutTrailingZeros) {
  EXPECT_EQ(to_text(Variant(Variant::Currency{15000})), u"1.5");
  EXPECT_EQ(to_text(Variant(Variant::Currency{-1})), u"-0.0001");
  EXPECT_EQ(to_text(Variant(Variant::Currency{INT64_MIN})), u"-922337203685477.5808");
  EXPECT_EQ(to_text(Variant(Variant::Currency{120000})), u"12");
  // 2^96 - 1 over 10^28, and a negative zero with a scale.
  EXPECT_EQ(to_text(Variant(Variant::Decimal{false, 28, 0xFFFFFFFF, UINT64_MAX})),
            u"7.9228162514264337593543950335");
  EXPECT_EQ(to_text(Variant(Variant::Decimal{true, 2, 0, 150})), u"-1.5");
  EXPECT_EQ(to_text(Variant(Variant::Decimal{true, 3, 0, 0})), u"0");
  EXPECT_EQ(to_text(Variant(Variant::Decimal{false, 0, 1, 0})), u"18446744073709551616");
}

TEST(VariantToText, DatesInTheFixedDayFirstFormRoundedToTheSecond) {
  using Date = Variant::Date;
  EXPECT_EQ(to_text(Variant(Date{46362.0})), u"06/12/2026");
  EXPECT_EQ(to_text(Variant(Date{46362.75})), u"06/12/2026 18:00:00");
  EXPECT_EQ(to_text(Variant(Date{0.5})), u"12:00:00");  // the day zero shows its time only
  EXPECT_EQ(to_text(Variant(Date{0.0})), u"00:00:00");
  EXPECT_EQ(to_text(Variant(Date{-1.25})), u"29/12/1899 06:00:00");
  EXPECT_EQ(to_text(Variant(Date{60.0})), u"28/02/1900");
  EXPECT_EQ(to_text(Variant(Date{-657434.0})), u"01/01/0100");
  EXPECT_EQ(to_text(Variant(Date{2958465.0 + 86399.4 / 86400})), u"31/12/9999 23:59:59");
  EXPECT_EQ(to_text(Variant(Date{1.0 - 0.2 / 86400})), u"31/12/1899");  // rounds to midnight
  for (double outside : {-657435.0, 2958466.0, 2958465.0 + 86399.7 / 86400, std::nan("")}) {
    try {
      to_text(Variant(Date{outside}));
      ADD_FAILURE() << outside << " converted";
    } catch (const Failure& failure) {
      EXPECT_EQ(failure.number(), 5);
    }
  }
}

// Values that have no text fail with Type mismatch where the method converts them.
TEST(VariantToText, ErrorsArraysAndObjectsFailWithTypeMismatch) {
  const std::int32_t parameter_not_found = static_cast<std::int32_t>(0x80020004);
  for (const Variant& value :
       {Variant(Variant::Error{parameter_not_found}), Variant(Variant::NoText{})}) {
    try {
      to_text(value);
      ADD_FAILURE() << "converted to text";
    } catch (const Failure& failure) {
      EXPECT_EQ(failure.number(), 13);
      EXPECT_EQ(failure.description(), u"Type mismatch");
    }
  }
}

}  // namespace
}  // namespace orvane
