#include "provider/message_forms.h"

#include <optional>

#include "provider/base64.h"
#include "provider/content_bytes.h"
#include "provider/der.h"

namespace orvane::provider {
namespace {

bool parse_der_or_base64(ByteView bytes, const DerParser& parse) {
  if (parse(bytes)) return true;
  const auto decoded = decode_base64_text(bytes);
  return decoded && parse(*decoded);
}

// More bytes than this missing from the end of a message are not taken for trimmed spaces.
constexpr std::size_t most_trimmed_bytes = 64;

// The length, header included, that the DER element at the start of `bytes` declares; nothing
// when its header cannot be read.
std::optional<std::size_t> declared_der_length(ByteView bytes) {
  const auto header = read_der_header(bytes);
  if (!header) return std::nullopt;
  return header->size + header->content_length;
}

// A file read byte-exact loses the space code units at its end: the bytes 20 00, and for a file
// of odd length a last byte 20 with the zero that filled its unit. A DER message that ended in
// such bytes comes back short of exactly them, and its own length says how many are missing,
// which fixes what they were.
bool parse_der_short_of_trimmed_spaces(ByteView bytes, const DerParser& parse) {
  const auto declared = declared_der_length(bytes);
  if (!declared || *declared <= bytes.size() || *declared - bytes.size() > most_trimmed_bytes) {
    return false;
  }
  Bytes whole(bytes.begin(), bytes.end());
  for (std::size_t i = 0; whole.size() < *declared; ++i) whole.push_back(i % 2 == 0 ? 0x20 : 0x00);
  return parse(whole);
}

}  // namespace

bool parse_message_forms(TextView message, const CodePage& code_page, const DerParser& parse) {
  if (const auto decoded = decode_base64_text(message); decoded && parse(*decoded)) return true;

  if (const auto bytes = encode_text_exactly(code_page, message);
      bytes && parse_der_or_base64(*bytes, parse)) {
    return true;
  }

  // A file read byte-exact into a buffer one byte longer than the file ends in a zero byte
  // that is not part of the message.
  const ByteView bytes = content_bytes(message);
  if (parse_der_or_base64(bytes, parse)) return true;
  if (!bytes.empty() && bytes.back() == 0 &&
      parse_der_or_base64(bytes.first(bytes.size() - 1), parse)) {
    return true;
  }
  return parse_der_short_of_trimmed_spaces(bytes, parse);
}

}  // namespace orvane::provider
