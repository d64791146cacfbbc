#include "provider/cryptoapi/signer_signature.h"

#include <algorithm>
#include <optional>

#include "provider/crypt_error.h"
#include "provider/cryptoapi/content_digest.h"
#include "provider/cryptoapi/platform_error.h"
#include "provider/der.h"
#include "runtime/windows/owned.h"

namespace orvane::provider::cryptoapi {
namespace {

constexpr NTSTATUS status_invalid_signature = static_cast<NTSTATUS>(0xC000A000);
constexpr NTSTATUS status_invalid_parameter = static_cast<NTSTATUS>(0xC000000D);

enum class KeyKind { rsa, ec };

KeyKind key_kind(const CERT_PUBLIC_KEY_INFO& key) {
  const std::string_view algorithm = key.Algorithm.pszObjId ? key.Algorithm.pszObjId : "";
  if (algorithm == szOID_RSA_RSA) return KeyKind::rsa;
  if (algorithm == szOID_ECC_PUBLIC_KEY) return KeyKind::ec;
  throw crypt_failure(CryptError::bad_algorithm);
}

windows::BCryptKeyHandle public_key(const CERT_PUBLIC_KEY_INFO& info) {
  windows::BCryptKeyHandle key;
  if (!::CryptImportPublicKeyInfoEx2(X509_ASN_ENCODING, const_cast<CERT_PUBLIC_KEY_INFO*>(&info), 0,
                                     nullptr, key.put())) {
    throw last_platform_failure();
  }
  return key;
}

// An ECDSA-Sig-Value's r and s, each as `size` bytes, most significant first, as CNG takes
// them; nothing when `der` is no such value or either number does not fit.
std::optional<Bytes> r_and_s(ByteView der, std::size_t size) {
  const auto sequence = take_der_element(der);
  const auto numbers = sequence && sequence->tag == 0x30 && der.empty()
                           ? der_elements(sequence->content)
                           : std::nullopt;
  if (!numbers || numbers->size() != 2) return std::nullopt;
  Bytes joined(2 * size);
  for (std::size_t i = 0; i < 2; ++i) {
    const DerElement& number = (*numbers)[i];
    ByteView value = number.content;
    if (number.tag != 0x02 || value.empty() || (value[0] & 0x80) != 0) return std::nullopt;
    while (value.size() > 1 && value[0] == 0) value = value.subspan(1);
    if (value.size() > size) return std::nullopt;
    std::copy(value.begin(), value.end(), joined.begin() + (i + 1) * size - value.size());
  }
  return joined;
}

void verify(BCRYPT_KEY_HANDLE key, void* padding, ByteView digest, ByteView signature,
            ULONG flags) {
  const NTSTATUS status = ::BCryptVerifySignature(
      key, padding, const_cast<PUCHAR>(digest.data()), static_cast<ULONG>(digest.size()),
      const_cast<PUCHAR>(signature.data()), static_cast<ULONG>(signature.size()), flags);
  // A signature of the wrong length is no signature of the key either.
  if (status == status_invalid_signature || status == status_invalid_parameter) {
    throw crypt_failure(CryptError::bad_signature);
  }
  if (!BCRYPT_SUCCESS(status)) throw bcrypt_failure(status);
}

}  // namespace

void check_signature(PCCERT_CONTEXT certificate, std::string_view digest_algorithm, ByteView digest,
                     ByteView signature) {
  const CERT_PUBLIC_KEY_INFO& info = certificate->pCertInfo->SubjectPublicKeyInfo;
  const KeyKind kind = key_kind(info);
  const wchar_t* digest_name = digest_algorithm_name(digest_algorithm);
  if (digest_name == nullptr) throw crypt_failure(CryptError::unknown_algorithm);
  if (signature.size() > MAXDWORD) throw crypt_failure(CryptError::bad_signature);
  const windows::BCryptKeyHandle key = public_key(info);
  if (kind == KeyKind::rsa) {
    BCRYPT_PKCS1_PADDING_INFO padding{digest_name};
    verify(key.get(), &padding, digest, signature, BCRYPT_PAD_PKCS1);
    return;
  }
  // An uncompressed point, 04 then x and y: each coordinate, like r and s, is that long.
  const std::size_t coordinate = info.PublicKey.cbData / 2;
  const auto joined = r_and_s(signature, coordinate);
  if (!joined) throw crypt_failure(CryptError::bad_signature);
  verify(key.get(), nullptr, digest, *joined, 0);
}

}  // namespace orvane::provider::cryptoapi
