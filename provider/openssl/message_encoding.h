#pragma once

#include <vector>

#include "provider/openssl/certificate_cache.h"
#include "provider/openssl/handles.h"
#include "runtime/text.h"

namespace orvane::provider::openssl {

// A signed-data message as decoded, and the certificates it carries.
struct DecodedMessage {
  CmsPtr message;
  std::vector<X509Ptr> certificates;
};

// The ContentInfo that a message text stands for, in any of the forms callers and files
// produce (see parse_message_forms). The certificates it carries come from `certificates`
// when seen before. A text that is none of the forms fails with CRYPT_E_ASN1_BADTAG.
DecodedMessage decode_message(TextView message, CertificateCache& certificates);

}  // namespace orvane::provider::openssl
