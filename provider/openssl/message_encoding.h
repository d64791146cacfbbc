#pragma once

#include <optional>
#include <vector>

#include "provider/openssl/certificate_cache.h"
#include "provider/openssl/handles.h"
#include "runtime/bytes.h"

namespace orvane::provider::openssl {

// A signed-data message as decoded, and the certificates it carries.
struct DecodedMessage {
  CmsPtr message;
  std::vector<X509Ptr> certificates;
};

// The ContentInfo of one DER (or BER) message, as read_message hands it over without its
// content; nothing when OpenSSL does not parse it as one, with nothing after it. The
// certificates it carries come from `certificates` when seen before.
std::optional<DecodedMessage> decode_message(ByteView der, CertificateCache& certificates);

}  // namespace orvane::provider::openssl
