#include "runtime/variant.h"

#include <gtest/gtest.h>

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
}

}  // namespace
}  // namespace orvane
