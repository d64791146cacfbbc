#include "runtime/text.h"

#include <gtest/gtest.h>

namespace orvane {
namespace {

TEST(Text, Utf8RoundTripsEveryPlane) {
  const Text text = {u'a', 0x00E9, 0x20AC, 0xD83D, 0xDE00, 0xFFFF};
  EXPECT_EQ(text_to_utf8(text), "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80\xEF\xBF\xBF");
  EXPECT_EQ(text_from_utf8(text_to_utf8(text)), text);
}

TEST(Text, InvalidSequencesBecomeReplacementCharacters) {
  EXPECT_EQ(text_from_utf8("a\xFF"
                           "b"),
            (Text{u'a', 0xFFFD, u'b'}));
  EXPECT_EQ(text_from_utf8("\xC0\xAF"), (Text{0xFFFD, 0xFFFD}));
  EXPECT_EQ(text_from_utf8("\xE2\x82"), (Text{0xFFFD, 0xFFFD}));
  EXPECT_EQ(text_to_utf8(Text{0xDC00}), "\xEF\xBF\xBD");
}

TEST(Text, TrimsSpacesOnly) {
  EXPECT_EQ(trim_spaces(u"  a b  "), u"a b");
  EXPECT_EQ(trim_spaces(u"\t a \r\n"), u"\t a \r\n");
  EXPECT_EQ(trim_spaces(u"   "), u"");
  EXPECT_EQ(trim_spaces(u""), u"");
}

}  // namespace
}  // namespace orvane
