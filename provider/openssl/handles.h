#pragma once

// Owning handles for the OpenSSL objects of this back end: every object lives in one of these
// from the moment it is made, so no path, normal or exceptional, frees one by hand or leaks it.

#include <openssl/bio.h>
#include <openssl/cms.h>
#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/pkcs12.h>
#include <openssl/x509.h>
#include <openssl/x509_vfy.h>

#include <memory>

#include "runtime/bytes.h"

namespace orvane::provider::openssl {

// Calls `free_function` on a non-null pointer.
template <auto free_function>
struct Free {
  template <typename T>
  void operator()(T* object) const {
    free_function(object);
  }
};

// Frees memory that OpenSSL allocated for a caller (names and data from PEM_read_bio).
struct FreeOpensslMemory {
  void operator()(void* memory) const { OPENSSL_free(memory); }
};

// Wipes, then frees, memory of `size` bytes that OpenSSL allocated for a secret.
struct ClearOpensslMemory {
  std::size_t size = 0;
  void operator()(void* memory) const { OPENSSL_clear_free(memory, size); }
};

// Frees the stacks of a PKCS #12 file's parts and of one part's bags, with what they hold.
struct FreePkcs7Stack {
  void operator()(STACK_OF(PKCS7) * stack) const { sk_PKCS7_pop_free(stack, PKCS7_free); }
};
struct FreeSafeBagStack {
  void operator()(STACK_OF(PKCS12_SAFEBAG) * stack) const {
    sk_PKCS12_SAFEBAG_pop_free(stack, PKCS12_SAFEBAG_free);
  }
};

// Frees a stack of certificates together with its references to them.
struct FreeCertificateStack {
  void operator()(STACK_OF(X509) * stack) const { sk_X509_pop_free(stack, X509_free); }
};

using Asn1TimePtr = std::unique_ptr<ASN1_TIME, Free<ASN1_TIME_free>>;
using BioPtr = std::unique_ptr<BIO, Free<BIO_free_all>>;
using CmsPtr = std::unique_ptr<CMS_ContentInfo, Free<CMS_ContentInfo_free>>;
using EvpPkeyPtr = std::unique_ptr<EVP_PKEY, Free<EVP_PKEY_free>>;
using Pkcs12Ptr = std::unique_ptr<PKCS12, Free<PKCS12_free>>;
using Pkcs8Ptr = std::unique_ptr<PKCS8_PRIV_KEY_INFO, Free<PKCS8_PRIV_KEY_INFO_free>>;
using X509Ptr = std::unique_ptr<X509, Free<X509_free>>;
using X509PubkeyPtr = std::unique_ptr<X509_PUBKEY, Free<X509_PUBKEY_free>>;
using X509StackPtr = std::unique_ptr<STACK_OF(X509), FreeCertificateStack>;
using Pkcs7StackPtr = std::unique_ptr<STACK_OF(PKCS7), FreePkcs7Stack>;
using SafeBagStackPtr = std::unique_ptr<STACK_OF(PKCS12_SAFEBAG), FreeSafeBagStack>;
using X509StoreCtxPtr = std::unique_ptr<X509_STORE_CTX, Free<X509_STORE_CTX_free>>;
using X509StorePtr = std::unique_ptr<X509_STORE, Free<X509_STORE_free>>;
template <typename T>
using OpensslMemoryPtr = std::unique_ptr<T, FreeOpensslMemory>;

// Another reference to `certificate`, which the caller keeps.
X509Ptr share(X509* certificate);

// Another reference to `key`, which the caller keeps.
EvpPkeyPtr share(EVP_PKEY* key);

// A read-only BIO over `bytes`, which must outlive it; nothing is copied. Fails with
// E_INVALIDARG above 2 GiB, which a memory BIO cannot address.
BioPtr read_only_bio(ByteView bytes);

}  // namespace orvane::provider::openssl
