#pragma once

#include <vector>

#include "provider/digest.h"
#include "provider/openssl/handles.h"
#include "runtime/bytes.h"

namespace orvane::provider::openssl {

// The digest of a content as its signer recorded it: what a verification of the same content
// can compare with instead of reading the content again.
struct ContentDigest {
  int algorithm = 0;  // the digest's OpenSSL NID
  Bytes value;
};

// A digest by one algorithm, a block at a time.
class EvpDigest final : public Digest {
 public:
  // Fails with NTE_BAD_ALGID when the algorithm cannot be used.
  explicit EvpDigest(const EVP_MD* algorithm);
  void update(ByteView bytes) override;
  Bytes finish() override;

 private:
  std::unique_ptr<EVP_MD_CTX, Free<EVP_MD_CTX_free>> context_;
};

// Digests of one content by several algorithms, each taken once however many signers name it,
// in the chain of digest BIOs through which OpenSSL checks a signer's digest.
class ContentDigests {
 public:
  ContentDigests();
  // Adds the digest of `algorithm` (an OBJECT IDENTIFIER); false when OpenSSL has none such.
  bool add(const ASN1_OBJECT* algorithm);
  bool has(const ASN1_OBJECT* algorithm) const;
  void update(ByteView bytes);
  // The chain, for CMS_SignerInfo_verify_content: it reads each digest's context.
  BIO* chain() const { return chain_.get(); }

 private:
  BioPtr chain_;
  std::vector<int> algorithms_;
  std::vector<EVP_MD_CTX*> contexts_;  // owned by the chain
};

}  // namespace orvane::provider::openssl
