#include "provider/openssl/private_key.h"

#include <openssl/asn1.h>
#include <openssl/err.h>
#include <openssl/objects.h>
#include <openssl/x509.h>

#include <optional>
#include <string_view>

namespace orvane::provider::openssl {
namespace {

using Bytes = std::string_view;

// Reads one DER element of `tag` (universal, or context-specific when `context`) at the front of
// `der`, and returns its content; `der` moves past it.
std::optional<Bytes> take_element(Bytes& der, int tag, bool context = false) {
  const auto* cursor = reinterpret_cast<const unsigned char*>(der.data());
  long length = 0;
  int found_tag = 0;
  int found_class = 0;
  const int info =
      ASN1_get_object(&cursor, &length, &found_tag, &found_class, static_cast<long>(der.size()));
  if ((info & 0x80) != 0 || found_tag != tag ||
      found_class != (context ? V_ASN1_CONTEXT_SPECIFIC : V_ASN1_UNIVERSAL)) {
    return std::nullopt;
  }
  const auto header =
      static_cast<std::size_t>(cursor - reinterpret_cast<const unsigned char*>(der.data()));
  const Bytes content = der.substr(header, static_cast<std::size_t>(length));
  der.remove_prefix(header + content.size());
  return content;
}

// An INTEGER's magnitude, without the sign octet.
std::string magnitude(Bytes integer) {
  while (integer.size() > 1 && integer.front() == '\0') integer.remove_prefix(1);
  return std::string(integer);
}

std::string identity(int algorithm, const X509_ALGOR* parameters, Bytes material) {
  std::string text = std::to_string(algorithm) + ":";
  if (algorithm == NID_X9_62_id_ecPublicKey) {
    int type = 0;
    const void* value = nullptr;
    X509_ALGOR_get0(nullptr, &type, &value, parameters);
    if (type != V_ASN1_OBJECT) return {};  // explicit curve parameters: decode instead
    text += std::to_string(OBJ_obj2nid(static_cast<const ASN1_OBJECT*>(value))) + ":";
  }
  return text + std::string(material);
}

// The public material inside an encoded key: for RSA the modulus, for EC the point.
std::optional<std::string> rsa_modulus(Bytes der, bool private_key) {
  auto sequence = take_element(der, V_ASN1_SEQUENCE);
  if (!sequence) return std::nullopt;
  if (private_key && !take_element(*sequence, V_ASN1_INTEGER)) return std::nullopt;  // version
  const auto modulus = take_element(*sequence, V_ASN1_INTEGER);
  if (!modulus) return std::nullopt;
  return magnitude(*modulus);
}

std::optional<std::string> ec_point_of_private_key(Bytes der) {
  auto sequence = take_element(der, V_ASN1_SEQUENCE);
  if (!sequence || !take_element(*sequence, V_ASN1_INTEGER) ||
      !take_element(*sequence, V_ASN1_OCTET_STRING)) {
    return std::nullopt;
  }
  take_element(*sequence, 0, true);  // the curve, which PKCS #8 names already
  auto public_key = take_element(*sequence, 1, true);
  if (!public_key) return std::nullopt;
  auto bits = take_element(*public_key, V_ASN1_BIT_STRING);
  if (!bits || bits->empty() || bits->front() != '\0') return std::nullopt;
  bits->remove_prefix(1);  // no unused bits
  return std::string(*bits);
}

}  // namespace

StoredKey::StoredKey(std::string pkcs8_der) : der_(std::move(pkcs8_der)) {}

StoredKey::StoredKey(EvpPkeyPtr key) : key_(std::move(key)) {
  std::call_once(decoded_, [] {});
}

EVP_PKEY* StoredKey::get() const {
  std::call_once(decoded_, [this] {
    const auto* cursor = reinterpret_cast<const unsigned char*>(der_.data());
    const Pkcs8Ptr info(d2i_PKCS8_PRIV_KEY_INFO(nullptr, &cursor, static_cast<long>(der_.size())));
    if (info) key_.reset(EVP_PKCS82PKEY(info.get()));
    ERR_clear_error();
  });
  return key_.get();
}

std::string public_key_identity(X509_PUBKEY* key) {
  ASN1_OBJECT* algorithm = nullptr;
  const unsigned char* material = nullptr;
  int length = 0;
  X509_ALGOR* parameters = nullptr;
  if (key == nullptr ||
      X509_PUBKEY_get0_param(&algorithm, &material, &length, &parameters, key) != 1) {
    return {};
  }
  const int nid = OBJ_obj2nid(algorithm);
  const Bytes bytes(reinterpret_cast<const char*>(material), static_cast<std::size_t>(length));
  if (nid == NID_rsaEncryption) {
    const auto modulus = rsa_modulus(bytes, false);
    return modulus ? identity(nid, parameters, *modulus) : std::string();
  }
  return identity(nid, parameters, bytes);
}

std::string public_key_identity(const PKCS8_PRIV_KEY_INFO* key) {
  const ASN1_OBJECT* algorithm = nullptr;
  const unsigned char* material = nullptr;
  int length = 0;
  const X509_ALGOR* parameters = nullptr;
  if (PKCS8_pkey_get0(&algorithm, &material, &length, &parameters, key) == 1) {
    const int nid = OBJ_obj2nid(algorithm);
    const Bytes bytes(reinterpret_cast<const char*>(material), static_cast<std::size_t>(length));
    std::optional<std::string> public_material;
    if (nid == NID_rsaEncryption) public_material = rsa_modulus(bytes, true);
    if (nid == NID_X9_62_id_ecPublicKey) public_material = ec_point_of_private_key(bytes);
    if (public_material) {
      if (std::string found = identity(nid, parameters, *public_material); !found.empty()) {
        return found;
      }
    }
  }
  // A key that does not carry its public half in the open is decoded, the slow way.
  const EvpPkeyPtr decoded(EVP_PKCS82PKEY(key));
  ERR_clear_error();
  return decoded ? public_key_identity(decoded.get()) : std::string();
}

std::string public_key_identity(EVP_PKEY* key) {
  X509_PUBKEY* made = nullptr;
  if (key == nullptr || X509_PUBKEY_set(&made, key) != 1) return {};
  const X509PubkeyPtr public_key(made);
  return public_key_identity(public_key.get());
}

}  // namespace orvane::provider::openssl
