#include "provider/openssl/handles.h"

#include <climits>

#include "provider/crypt_error.h"

namespace orvane::provider::openssl {

X509Ptr share(X509* certificate) {
  if (certificate != nullptr) X509_up_ref(certificate);
  return X509Ptr(certificate);
}

EvpPkeyPtr share(EVP_PKEY* key) {
  if (key != nullptr) EVP_PKEY_up_ref(key);
  return EvpPkeyPtr(key);
}

BioPtr read_only_bio(ByteView bytes) {
  // OpenSSL takes a null buffer for a mistake, so empty bytes still get one.
  static const unsigned char nothing = 0;
  if (bytes.size() > static_cast<std::size_t>(INT_MAX)) {
    throw crypt_failure(CryptError::invalid_parameter);
  }
  BioPtr bio(bytes.empty() ? BIO_new_mem_buf(&nothing, 0)
                           : BIO_new_mem_buf(bytes.data(), static_cast<int>(bytes.size())));
  if (!bio) throw crypt_failure(CryptError::message_error);
  return bio;
}

}  // namespace orvane::provider::openssl
