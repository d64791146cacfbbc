#include "provider/openssl/pkcs12_iterations.h"

#include <openssl/err.h>
#include <openssl/x509.h>

#include <climits>
#include <memory>

#include "provider/openssl/handles.h"

namespace orvane::provider::openssl {
namespace {

using AlgorithmPtr = std::unique_ptr<X509_ALGOR, Free<X509_ALGOR_free>>;

// Decrypts with the PKCS #12 or PBES2 scheme that `algorithm` names, as OpenSSL's reader does.
bool open_part(const char* password, ByteView algorithm, ByteView encrypted,
               const Pkcs12PlainPart& read) {
  const unsigned char* cursor = algorithm.data();
  const AlgorithmPtr scheme(d2i_X509_ALGOR(nullptr, &cursor, static_cast<long>(algorithm.size())));
  if (!scheme || encrypted.size() > INT_MAX) return false;
  const auto decrypt = [&](const char* pass, int length) {
    unsigned char* plain = nullptr;
    int plain_length = 0;
    if (PKCS12_pbe_crypt_ex(scheme.get(), pass, length, encrypted.data(),
                            static_cast<int>(encrypted.size()), &plain, &plain_length, 0, nullptr,
                            nullptr) == nullptr) {
      return false;
    }
    const std::size_t size = static_cast<std::size_t>(plain_length);
    const std::unique_ptr<unsigned char, ClearOpensslMemory> owned(plain, {size});
    read(ByteView(owned.get(), size));
    return true;
  };
  // An empty password reaches the key derivation as none at all or as an empty text, by
  // exporter; the reader tries both.
  return decrypt(password, -1) || (*password == '\0' && decrypt(nullptr, 0));
}

}  // namespace

bool pkcs12_iterations_bounded(const PKCS12* pkcs12, const char* password) {
  unsigned char* der = nullptr;
  const int length = i2d_PKCS12(pkcs12, &der);
  const OpensslMemoryPtr<unsigned char> owned(der);
  Pkcs12PartOpener opener;
  if (password != nullptr) {
    opener = [password](ByteView algorithm, ByteView encrypted, const Pkcs12PlainPart& read) {
      return open_part(password, algorithm, encrypted, read);
    };
  }
  const auto found =
      length > 0 ? pkcs12_iterations(ByteView(der, static_cast<std::size_t>(length)), opener)
                 : Pkcs12Iterations::unreadable;
  ERR_clear_error();
  // What OpenSSL has read but this reader cannot take apart, OpenSSL's reader then refuses in
  // its own words.
  return found != Pkcs12Iterations::unbounded;
}

}  // namespace orvane::provider::openssl
