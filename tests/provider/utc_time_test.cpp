#include "provider/utc_time.h"

#include <gtest/gtest.h>

namespace orvane::provider {
namespace {

TEST(UtcSeconds, TakesTheLocalTimeInItsOwnOffset) {
  EXPECT_EQ(utc_seconds({1970, 1, 1, 0, 0, 0, 0}), 0);
  // 2024-02-29 12:00 at UTC+01:30 is 10:30 UTC.
  EXPECT_EQ(utc_seconds({2024, 2, 29, 12, 0, 0, 90}), 1709202600);
  // West of UTC the moment is later: 23:59:59 at UTC-05:00 is the next day in UTC.
  EXPECT_EQ(utc_seconds({2049, 12, 31, 23, 59, 59, -300}), 2524607999 + 5 * 3600);
}

TEST(UtcSeconds, CountsBefore1970AndAcrossCenturies) {
  EXPECT_EQ(utc_seconds({1969, 12, 31, 23, 59, 59, 0}), -1);
  EXPECT_EQ(utc_seconds({1899, 12, 30, 0, 0, 0, 0}), -2209161600);
  EXPECT_EQ(utc_seconds({2100, 3, 1, 0, 0, 0, 0}), 4107542400);  // 2100 is no leap year
}

TEST(UtcSeconds, RollsFieldsOverAsACalendarDoes) {
  EXPECT_EQ(utc_seconds({2023, 13, 1, 0, 0, 0, 0}), utc_seconds({2024, 1, 1, 0, 0, 0, 0}));
  EXPECT_EQ(utc_seconds({2024, 3, 0, 0, 0, 0, 0}), utc_seconds({2024, 2, 29, 0, 0, 0, 0}));
}

TEST(UtcText, ReadsAndWritesTheTimesOfTokensAndCertificates) {
  EXPECT_EQ(utc_text(1709202600), "2024-02-29T10:30:00Z");
  EXPECT_EQ(utc_text(-1), "1969-12-31T23:59:59Z");
  EXPECT_EQ(utc_text(4107542400), "2100-03-01T00:00:00Z");
  EXPECT_EQ(generalized_time_seconds("20240229103000Z"), 1709202600);
  EXPECT_EQ(generalized_time_seconds("20240229103000.125Z"), 1709202600);
  // Local times, offsets, missing fields and stray characters are no DER GeneralizedTime.
  for (const char* wrong : {"20240229103000", "20240229103000+0100", "202402291030Z",
                            "20241329103000Z", "20240229103000.Z", "2024022910300aZ"}) {
    EXPECT_FALSE(generalized_time_seconds(wrong).has_value()) << wrong;
  }
}

}  // namespace
}  // namespace orvane::provider
