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

void check_output_names(TextView extension) {
  for (const TextView name : {TextView(u"C:\\d\\a.xyz"), TextView(u"abc"), TextView(u"a.txt")}) {
    try {
      const Text output = orvane::signing::output_name(name, extension);
      require(name.size() >= 4, "a name of three characters has no output name");
      const TextView kept = name.substr(0, name.size() - 4);
      require(output.starts_with(kept) && output.ends_with(extension),
              "the output name is the shortened name and the extension");
      const bool dot = !extension.empty() && extension.front() != u'.';
      require(output.size() == kept.size() + extension.size() + (dot ? 1 : 0),
              "one dot at most between them");
    } catch (const orvane::Failure& failure) {
      require(name.size() < 4 && failure.number() == 5, "only a short name fails, with 5");
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

// What the writer makes of a text and a path whose extension field is not empty, the reader
// takes apart again. (Without one, a text that itself ends like an extension field and the
// start of its length reads back differently: the format cannot tell them apart.)
void check_round_trip(TextView text, TextView path) {
  if (orvane::signing::extension_length(path) == 0) return;
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
