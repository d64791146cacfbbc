#include <gtest/gtest.h>

#include "runtime/platform.h"
#include "runtime/windows/ansi_code_page.h"

namespace orvane {
namespace {

Text lower(Text text) {
  for (char16_t& c : text) {
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
  }
  return text;
}

TEST(WindowsPlatform, TheSystemDirectoryIsSystem32ForEitherBitness) {
  const Platform platform = native_platform();
  EXPECT_EQ(platform.path_separator, u'\\');
  // Also in a 32-bit process on 64-bit Windows: the system redirects what it reads there to
  // SysWOW64, so that each bitness has its own configuration file without knowing it.
  const Text expected = u":\\windows\\system32";
  const Text directory = lower(platform.system_directory);
  ASSERT_GE(directory.size(), expected.size());
  EXPECT_EQ(directory.substr(directory.size() - expected.size()), expected);
}

TEST(WindowsPlatform, AnotherAnsiCodePageRoundTripsEveryByteAndNeverGuesses) {
  const auto cyrillic = windows::system_code_page(1251);
  ASSERT_NE(cyrillic, nullptr);
  Bytes every(256);
  for (unsigned b = 0; b < 256; ++b) every[b] = static_cast<std::uint8_t>(b);
  const Text text = decode_text(*cyrillic, every);
  EXPECT_EQ(text[0xC0], u'\u0410');
  EXPECT_EQ(encode_text_exactly(*cyrillic, text), every);
  // The system's own encoder would write "/" for the division slash and "A" for a
  // full-width A; here both are characters the page does not have.
  EXPECT_EQ(encode_text(*cyrillic, u"a\u2215b\uFF21"), (Bytes{'a', '?', 'b', '?'}));
  EXPECT_EQ(windows::system_code_page(932), nullptr);  // double-byte: not a single-byte page
}

}  // namespace
}  // namespace orvane
