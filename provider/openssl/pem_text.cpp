#include "provider/openssl/pem_text.h"

#include <openssl/err.h>
#include <openssl/pem.h>

#include <stdexcept>

namespace orvane::provider::openssl {
namespace {

std::string text_of(BIO* bio) {
  char* data = nullptr;
  const long length = BIO_get_mem_data(bio, &data);
  return std::string(data, static_cast<std::size_t>(length));
}

BioPtr memory_bio() {
  BioPtr bio(BIO_new(BIO_s_mem()));
  if (!bio) throw std::runtime_error("cannot make a memory buffer");
  return bio;
}

}  // namespace

std::string certificate_pem(X509* certificate) {
  const BioPtr out = memory_bio();
  if (PEM_write_bio_X509(out.get(), certificate) != 1) {
    throw std::runtime_error("cannot write a certificate as PEM");
  }
  return text_of(out.get());
}

std::string private_key_pem(EVP_PKEY* key) {
  const BioPtr out = memory_bio();
  if (PEM_write_bio_PKCS8PrivateKey(out.get(), key, nullptr, nullptr, 0, nullptr, nullptr) != 1) {
    throw std::runtime_error("cannot write a private key as PKCS #8 PEM");
  }
  return text_of(out.get());
}

void for_each_pem_block(std::string_view text, const std::function<void(const PemBlock&)>& visit) {
  const BioPtr input =
      read_only_bio(ByteView(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
  for (;;) {
    char* label = nullptr;
    char* headers = nullptr;
    unsigned char* data = nullptr;
    long length = 0;
    if (PEM_read_bio(input.get(), &label, &headers, &data, &length) != 1) break;
    const OpensslMemoryPtr<char> owned_label(label);
    const OpensslMemoryPtr<char> owned_headers(headers);
    const OpensslMemoryPtr<unsigned char> owned_data(data);
    visit({label, headers, data, length});
  }
  // The reader reports the end of its input as an error; it is none.
  ERR_clear_error();
}

}  // namespace orvane::provider::openssl
