#pragma once

#include <mutex>
#include <string>
#include <unordered_map>

#include "provider/openssl/handles.h"
#include "runtime/bytes.h"

namespace orvane::provider::openssl {

// Certificates already parsed, by their DER. OpenSSL 3.0 takes about a third of a millisecond
// to parse a certificate, and a long-lived host meets the same signers and chains in message
// after message. Holds a bounded number; safe to share between threads.
class CertificateCache {
 public:
  // The certificate that `der` encodes, parsed on first sight; null when `der` is not exactly
  // one certificate.
  X509Ptr get(ByteView der);

 private:
  static constexpr std::size_t most_kept = 512;

  std::mutex mutex_;
  std::unordered_map<std::string, X509Ptr> by_der_;
};

}  // namespace orvane::provider::openssl
