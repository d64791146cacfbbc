#include "provider/openssl/message_encoding.h"

#include <openssl/err.h>

#include "provider/crypt_error.h"
#include "provider/message_forms.h"
#include "runtime/code_page.h"

namespace orvane::provider::openssl {

CmsPtr decode_message(TextView message) {
  CmsPtr decoded;
  const auto parse_whole = [&decoded](ByteView der) {
    const unsigned char* cursor = der.data();
    CmsPtr candidate(d2i_CMS_ContentInfo(nullptr, &cursor, static_cast<long>(der.size())));
    if (!candidate || cursor != der.data() + der.size()) return false;
    decoded = std::move(candidate);
    return true;
  };
  // A file read as text went through the system's code page, which is Windows-1252 for the
  // files this component writes and reads.
  const bool found = parse_message_forms(message, windows_1252(), parse_whole);
  ERR_clear_error();
  if (!found) throw crypt_failure(CryptError::asn1_bad_tag);
  return decoded;
}

}  // namespace orvane::provider::openssl
