#include "provider/openssl/content_digest.h"

#include <openssl/err.h>
#include <openssl/objects.h>

#include <algorithm>

#include "provider/crypt_error.h"

namespace orvane::provider::openssl {
namespace {

[[noreturn]] void fail(CryptError error) {
  ERR_clear_error();
  throw crypt_failure(error);
}

}  // namespace

EvpDigest::EvpDigest(const EVP_MD* algorithm) : context_(EVP_MD_CTX_new()) {
  if (!context_ || EVP_DigestInit_ex(context_.get(), algorithm, nullptr) != 1) {
    fail(CryptError::bad_algorithm);
  }
}

void EvpDigest::update(ByteView bytes) {
  if (EVP_DigestUpdate(context_.get(), bytes.data(), bytes.size()) != 1) {
    fail(CryptError::message_error);
  }
}

Bytes EvpDigest::finish() {
  Bytes digest(EVP_MAX_MD_SIZE);
  unsigned int length = 0;
  if (EVP_DigestFinal_ex(context_.get(), digest.data(), &length) != 1) {
    fail(CryptError::message_error);
  }
  digest.resize(length);
  return digest;
}

ContentDigests::ContentDigests() : chain_(BIO_new(BIO_s_null())) {
  if (!chain_) fail(CryptError::message_error);
}

bool ContentDigests::has(const ASN1_OBJECT* algorithm) const {
  const int nid = OBJ_obj2nid(algorithm);
  return nid != NID_undef &&
         std::find(algorithms_.begin(), algorithms_.end(), nid) != algorithms_.end();
}

bool ContentDigests::add(const ASN1_OBJECT* algorithm) {
  if (has(algorithm)) return true;
  const int nid = OBJ_obj2nid(algorithm);
  const EVP_MD* md = nid == NID_undef ? nullptr : EVP_get_digestbyobj(algorithm);
  if (md == nullptr) {
    ERR_clear_error();
    return false;
  }
  BioPtr digest(BIO_new(BIO_f_md()));
  EVP_MD_CTX* context = nullptr;
  if (!digest || BIO_set_md(digest.get(), md) <= 0 || BIO_get_md_ctx(digest.get(), &context) <= 0) {
    ERR_clear_error();
    return false;
  }
  BIO_push(digest.get(), chain_.release());  // the new digest owns the chain now
  chain_ = std::move(digest);
  algorithms_.push_back(nid);
  contexts_.push_back(context);
  return true;
}

void ContentDigests::update(ByteView bytes) {
  // Each context directly, where the content lies: a BIO passes no more than 2 GiB at once, and
  // the chain would copy it through every digest in turn.
  for (EVP_MD_CTX* context : contexts_) {
    if (EVP_DigestUpdate(context, bytes.data(), bytes.size()) != 1) {
      fail(CryptError::message_error);
    }
  }
}

}  // namespace orvane::provider::openssl
