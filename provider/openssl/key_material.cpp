#include "provider/openssl/key_material.h"

#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/provider.h>

#include <cstring>
#include <string_view>

#include "provider/openssl/pem_text.h"
#include "provider/openssl/pkcs12_iterations.h"
#include "provider/openssl/store_files.h"

namespace orvane::provider::openssl {
namespace {

using ProviderPtr = std::unique_ptr<OSSL_PROVIDER, Free<OSSL_PROVIDER_unload>>;

const char* const password_remedy = "pass its password with --password-file FILE";
const char* const wrong_password_remedy = "pass the right one with --password-file FILE";

// Hands the password to OpenSSL; never prompts on the terminal.
int give_password(char* buffer, int size, int, void* password) {
  if (password == nullptr) return -1;
  const auto length = std::strlen(static_cast<const char*>(password));
  if (length > static_cast<std::size_t>(size)) return -1;
  std::memcpy(buffer, password, length);
  return static_cast<int>(length);
}

// Makes the algorithms of files exported before OpenSSL 3 (RC2, 3DES) available.
bool load_legacy_algorithms() {
  // Loading one provider by name stops the default one from loading by itself: load both.
  static const ProviderPtr default_algorithms(OSSL_PROVIDER_load(nullptr, "default"));
  static const ProviderPtr legacy_algorithms(OSSL_PROVIDER_load(nullptr, "legacy"));
  return legacy_algorithms != nullptr;
}

EvpPkeyPtr read_pem_key(const PemBlock& key_block, const std::string& file,
                        const std::optional<std::string>& password) {
  const bool encrypted =
      std::string_view(key_block.label) == "ENCRYPTED PRIVATE KEY" ||
      std::string_view(key_block.headers).find("ENCRYPTED") != std::string_view::npos;
  if (encrypted && !password) {
    throw StoreError(file + " holds an encrypted private key: " + password_remedy);
  }
  // The block on its own, so that OpenSSL's key reader sees exactly this key.
  const BioPtr block(BIO_new(BIO_s_mem()));
  EvpPkeyPtr key;
  if (block && PEM_write_bio(block.get(), key_block.label, key_block.headers, key_block.data,
                             key_block.length) > 0) {
    key.reset(PEM_read_bio_PrivateKey(block.get(), nullptr, give_password,
                                      password ? const_cast<char*>(password->c_str()) : nullptr));
  }
  if (!key) {
    throw StoreError(encrypted ? "wrong password for the private key in " + file + ": " +
                                     wrong_password_remedy
                               : file +
                                     " holds a private key that cannot be read: export it "
                                     "again as PKCS #8 (openssl pkcs8 -topk8)");
  }
  return key;
}

void read_pem(const std::string& bytes, const std::string& file,
              const std::optional<std::string>& password, MaterialParts parts, KeyMaterial& out) {
  for_each_pem_block(bytes, [&](const PemBlock& block) {
    const std::string_view label(block.label);
    if (label == "CERTIFICATE" || label == "X509 CERTIFICATE") {
      const unsigned char* cursor = block.data;
      X509Ptr certificate(d2i_X509(nullptr, &cursor, block.length));
      if (!certificate) throw StoreError(file + " holds a damaged certificate: export it again");
      out.certificates.push_back(std::move(certificate));
    } else if (label.ends_with("PRIVATE KEY") && parts == MaterialParts::certificates_and_keys) {
      out.private_keys.push_back(read_pem_key(block, file, password));
    }
  });
}

void read_pkcs12(PKCS12* pkcs12, const std::string& file,
                 const std::optional<std::string>& password, MaterialParts parts,
                 KeyMaterial& out) {
  const auto refuse_unbounded = [&](const char* opened_with) {
    if (!pkcs12_iterations_bounded(pkcs12, opened_with)) {
      throw StoreError(file + " asks for more than " + std::to_string(most_pkcs12_iterations) +
                       " iterations of its password, which no exporter uses: export it again");
    }
  };
  // Before the password is tried: trying it runs the iterations.
  refuse_unbounded(nullptr);
  std::string pass;
  if (PKCS12_mac_present(pkcs12) == 1 && PKCS12_verify_mac(pkcs12, nullptr, 0) != 1 &&
      PKCS12_verify_mac(pkcs12, "", 0) != 1) {
    if (!password) throw StoreError(file + " is protected by a password: " + password_remedy);
    if (PKCS12_verify_mac(pkcs12, password->c_str(), -1) != 1) {
      throw StoreError("wrong password for " + file + ": " + wrong_password_remedy);
    }
    pass = *password;
  }
  refuse_unbounded(pass.c_str());
  EVP_PKEY* key = nullptr;
  X509* certificate = nullptr;
  STACK_OF(X509)* authorities = nullptr;
  if (PKCS12_parse(pkcs12, pass.c_str(), &key, &certificate, &authorities) != 1) {
    ERR_clear_error();
    const bool legacy = load_legacy_algorithms();
    // The legacy algorithms open parts that the check could not look into before.
    if (legacy) refuse_unbounded(pass.c_str());
    if (!legacy || PKCS12_parse(pkcs12, pass.c_str(), &key, &certificate, &authorities) != 1) {
      throw StoreError(file + " cannot be opened: export it again with `openssl pkcs12 -export`");
    }
  }
  EvpPkeyPtr owned_key(key);
  X509Ptr owned_certificate(certificate);
  const X509StackPtr owned_authorities(authorities);
  if (owned_key && parts == MaterialParts::certificates_and_keys) {
    out.private_keys.push_back(std::move(owned_key));
  }
  if (owned_certificate) out.certificates.push_back(std::move(owned_certificate));
  for (int i = 0; i < sk_X509_num(authorities); ++i) {
    out.certificates.push_back(share(sk_X509_value(authorities, i)));
  }
}

void read_der(const std::string& bytes, const std::string& file,
              const std::optional<std::string>& password, MaterialParts parts, KeyMaterial& out) {
  const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
  const auto length = static_cast<long>(bytes.size());
  const unsigned char* cursor = data;
  const Pkcs12Ptr pkcs12(d2i_PKCS12(nullptr, &cursor, length));
  if (pkcs12 && cursor == data + length) {
    read_pkcs12(pkcs12.get(), file, password, parts, out);
    return;
  }
  cursor = data;
  X509Ptr certificate(d2i_X509(nullptr, &cursor, length));
  if (!certificate || cursor != data + length) {
    throw StoreError(file +
                     " is neither a PKCS #12 file nor a certificate or key in PEM or DER form: "
                     "check that it is the file you meant");
  }
  out.certificates.push_back(std::move(certificate));
}

}  // namespace

KeyMaterial read_key_material(const std::string& bytes, const std::filesystem::path& file,
                              const std::optional<std::string>& password, MaterialParts parts) {
  KeyMaterial material;
  if (bytes.find("-----BEGIN ") != std::string::npos) {
    read_pem(bytes, file.string(), password, parts, material);
  } else {
    read_der(bytes, file.string(), password, parts, material);
  }
  ERR_clear_error();
  if (material.certificates.empty() && material.private_keys.empty()) {
    throw StoreError(file.string() + " holds no certificate: check that it is the file you meant");
  }
  return material;
}

}  // namespace orvane::provider::openssl
