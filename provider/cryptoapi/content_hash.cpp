#include "provider/cryptoapi/content_hash.h"

#include <windows.h>

#include <algorithm>

#include "provider/crypt_error.h"
#include "provider/cryptoapi/handles.h"
#include "provider/cryptoapi/platform_error.h"

namespace orvane::provider::cryptoapi {

Bytes content_hash(const char* digest_algorithm, ByteView content) {
  const CRYPT_OID_INFO* digest =
      digest_algorithm == nullptr
          ? nullptr
          : ::CryptFindOIDInfo(CRYPT_OID_INFO_OID_KEY, const_cast<char*>(digest_algorithm),
                               CRYPT_HASH_ALG_OID_GROUP_ID);
  if (digest == nullptr) throw crypt_failure(CryptError::unknown_algorithm);
  // The AES provider hashes every digest a signer may name, SHA-2 included.
  ProviderHandle provider;
  if (!::CryptAcquireContextW(provider.put(), nullptr, nullptr, PROV_RSA_AES,
                              CRYPT_VERIFYCONTEXT | CRYPT_SILENT)) {
    throw last_platform_failure();
  }
  HashHandle hash;
  if (!::CryptCreateHash(provider.get(), digest->Algid, 0, 0, hash.put())) {
    throw crypt_failure(CryptError::unknown_algorithm);
  }
  constexpr std::size_t piece = 1024 * 1024;
  for (std::size_t at = 0; at < content.size(); at += piece) {
    const ByteView part = content.subspan(at, std::min(piece, content.size() - at));
    if (!::CryptHashData(hash.get(), part.data(), static_cast<DWORD>(part.size()), 0)) {
      throw last_platform_failure();
    }
  }
  DWORD size = 0;
  if (!::CryptGetHashParam(hash.get(), HP_HASHVAL, nullptr, &size, 0)) {
    throw last_platform_failure();
  }
  Bytes value(size);
  if (!::CryptGetHashParam(hash.get(), HP_HASHVAL, value.data(), &size, 0)) {
    throw last_platform_failure();
  }
  value.resize(size);
  return value;
}

}  // namespace orvane::provider::cryptoapi
