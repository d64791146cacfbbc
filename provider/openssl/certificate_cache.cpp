#include "provider/openssl/certificate_cache.h"

#include <openssl/err.h>
#include <openssl/x509.h>

namespace orvane::provider::openssl {

X509Ptr CertificateCache::get(ByteView der) {
  std::string key(reinterpret_cast<const char*>(der.data()), der.size());
  {
    const std::lock_guard lock(mutex_);
    if (const auto found = by_der_.find(key); found != by_der_.end()) {
      return share(found->second.get());
    }
  }
  const unsigned char* cursor = der.data();
  X509Ptr parsed(d2i_X509(nullptr, &cursor, static_cast<long>(der.size())));
  ERR_clear_error();
  if (!parsed || cursor != der.data() + der.size()) return nullptr;
  const std::lock_guard lock(mutex_);
  // Hostile messages could carry any number of certificates: start afresh rather than grow.
  if (by_der_.size() >= most_kept) by_der_.clear();
  by_der_.emplace(std::move(key), share(parsed.get()));
  return parsed;
}

}  // namespace orvane::provider::openssl
