// The envelope of attached file signatures: the reader's split of any content the provider may
// hand back, the output name made from it, and the writer's trailer read back by the reader.
//
// Input: byte 0 chooses how the rest becomes text (even: one character per byte through the
// code page, as signed files are read; odd: byte pairs, low byte first, as the provider hands
// content back); byte 1 places the division of that text into a file's text and its path.
#include <algorithm>
#include <cstdint>
#include <cstring>

#include "fuzz/require.h"
#include "runtime/code_page.h"
#include "runtime/failure.h"
#include "signing/envelope.h"

namespace {

using orvane::Text;
using orvane::TextView;
using orvane::fuzzing::require;

bool is_digit(char16_t c) {
  return c >= u'0' && c <= u'9';
}

Text text_of(const std::uint8_t* data, std::size_t size, bool pairs) {
  if (!pairs) return orvane::decode_text(orvane::windows_1252(), orvane::ByteView(data, size));
  Text text(size / 2, u'\0');
  if (!text.empty()) std::memcpy(text.data(), data, text.size() * 2);
  return text;
}

// The restored name stays in the folder of the name it is based on, whatever the extension.
void check_output_names(TextView extension) {
  for (const TextView name : {TextView(u"C:\\d\\a.xyz"), TextView(u"abc"),
                              TextView(u"/home/u/m.p7"), TextView(u"/d/.abcd")}) {
    const std::size_t own_start = name.find_last_of(u"/\\") + 1;  // 0 when there is none
    const TextView folder = name.substr(0, own_start);
    for (const auto rules : {orvane::FileNameRules::posix, orvane::FileNameRules::windows}) {
      try {
        const Text output = orvane::signing::output_name(name, extension, rules);
        require(name.size() - own_start > 4, "some of the file's own name is kept");
        require(output.starts_with(folder), "the folder is the name's folder");
        const TextView own = TextView(output).substr(own_start);
        require(own.find_first_of(u"/\\") == TextView::npos && own != u"." && own != u"..",
                "the restored name stays in that folder");
        require(output.starts_with(name.substr(0, name.size() - 4)),
                "the output name starts with the shortened name");
      } catch (const orvane::Failure& failure) {
        require(failure.number() == 5, "a name that cannot be made fails with 5");
      }
    }
  }
}

// Whatever the content, the split gives its parts back in order, followed by the length digits.
void check_split(TextView content) {
  try {
    const auto split = orvane::signing::split_envelope(content);
    const std::size_t parts = split.text.size() + split.extension.size();
    require(parts < content.size() && content.starts_with(split.text) &&
                content.substr(split.text.size()).starts_with(split.extension),
            "text and extension are the content's start");
    const TextView digits = content.substr(parts);
    require(std::all_of(digits.begin(), digits.end(), is_digit), "only digits follow");
    check_output_names(split.extension);
  } catch (const orvane::Failure& failure) {
    require(failure.number() == 13 || failure.number() == 5, "the split fails with 13 or 5");
    require(failure.number() != 13 || content.empty() || !is_digit(content.back()),
            "13 only for content that does not end in a digit");
  }
}

// What the writer makes of a text and a path, the reader takes apart again. (Not for extension
// fields of 10, 20, ... characters: their final "0" reads as no extension, as the format
// cannot tell them from a text ending in digits.)
void check_round_trip(TextView text, TextView path) {
  const std::size_t length = orvane::signing::extension_length(path);
  if (length >= 10 && length % 10 == 0) return;
  const Text content = Text(text) + orvane::signing::envelope_trailer(path);
  const auto split = orvane::signing::split_envelope(content);
  require(split.text == text, "the text comes back");
  require(split.extension == path.substr(path.size() - orvane::signing::extension_length(path)),
          "the extension field comes back");
  require(orvane::signing::base_name(path) + Text(split.extension) == path,
          "base name and extension field make the path");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const Text content = text_of(data + 2, size - 2, (data[0] & 1) != 0);
  check_split(content);
  const std::size_t division = std::min<std::size_t>(data[1], content.size());
  check_round_trip(TextView(content).substr(0, division), TextView(content).substr(division));
  return 0;
}
