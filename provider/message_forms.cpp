#include "provider/message_forms.h"

#include "provider/base64.h"
#include "provider/content_bytes.h"

namespace orvane::provider {
namespace {

bool parse_der_or_base64(ByteView bytes, const DerParser& parse) {
  if (parse(bytes)) return true;
  const auto decoded = decode_base64_text(bytes);
  return decoded && parse(*decoded);
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
  return !bytes.empty() && bytes.back() == 0 &&
         parse_der_or_base64(bytes.first(bytes.size() - 1), parse);
}

}  // namespace orvane::provider
