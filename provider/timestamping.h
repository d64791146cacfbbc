#pragma once

// Signature timestamps (RFC 3161), shared by the back ends: a signature made while a
// time-stamping authority is configured gets a token from it over each signer's signature
// value, proved before it is attached; a verification proves each token and judges the
// signer's chain at the token's time. The back end supplies the cryptography.

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "provider/message_writing.h"
#include "provider/timestamp_notes.h"
#include "provider/timestamp_protocol.h"

namespace orvane::provider {

// What a back end does for timestamps.
class TimestampCrypto {
 public:
  virtual ~TimestampCrypto() = default;
  // The digest of `data` by the algorithm of the dotted OID `algorithm`; empty when the back end
  // has none of that name.
  virtual Bytes digest(std::string_view algorithm, ByteView data) const = 0;
  // `count` bytes from the platform's cryptographic random generator.
  virtual Bytes random(std::size_t count) const = 0;
  // Proves the token's own signature over its TSTInfo and its signer: a certificate whose only
  // extended key usage is time stamping, in a critical extension, valid at `time` (the token's),
  // whose chain is trusted at `now`. Returns the signer's subject, as people read it. Fails with
  // timestamp_failure saying what is wrong.
  virtual std::string verify_token_signature(ByteView token, std::int64_t time,
                                             std::int64_t now) const = 0;
};

// The configured authority, and how long signing may wait for it: an authority that does not
// answer must not hold a caller for longer than a person waits.
struct TimestampAuthority {
  std::string url;
  std::string policy;  // asked for and required when not empty
  static constexpr std::chrono::milliseconds request_limit{10000};
};

// Proves `token` as a timestamp of `signature`: its TSTInfo's imprint is the digest of the
// signature value, and `crypto` proves its signature and signer at `now`. Fails with
// timestamp_failure.
ProvedTimestamp prove_timestamp(ByteView token, ByteView signature, const TimestampCrypto& crypto,
                                std::int64_t now);

// The earliest timestamp of a signer whose signer info has `parts`, each of its tokens proved
// as prove_timestamp says (the first that fails fails the signer with TRUST_E_TIME_STAMP and its
// standard text alone); nothing when it carries
// none. Each proved one goes to `notes` when given.
std::optional<ProvedTimestamp> signer_timestamp(const SignerTimestampParts& parts,
                                                const TimestampCrypto& crypto, std::int64_t now,
                                                TimestampNotes* notes);

// A signature session whose message gets one timestamp token per signer from `authority` when
// it is finished: the request carries a random 64-bit nonce and asks for the authority's
// certificate, and the token is attached only when the response is granted, its imprint and
// nonce are the request's, its policy is the configured one, and it is proved as
// prove_timestamp says. A token that cannot be had fails the signature: CRYPT_E_... of the
// transport (cannot connect, timed out) or TRUST_E_TIME_STAMP, saying why.
class TimestampedSession final : public SignatureSession {
 public:
  TimestampedSession(SignatureSession& inner, TimestampAuthority authority,
                     const TimestampCrypto& crypto, std::int64_t now);

  void update(ByteView bytes) override { inner_.update(bytes); }
  Bytes finish() override;
  Bytes expected_leading_fields() const override { return inner_.expected_leading_fields(); }
  // A token with the authority's chain: a few kilobytes more.
  std::size_t expected_trailing_size() const override {
    return inner_.expected_trailing_size() + 6 * 1024;
  }
  Bytes content_digest() const override { return inner_.content_digest(); }
  std::unique_ptr<Digest> new_content_digest() const override {
    return inner_.new_content_digest();
  }

 private:
  Bytes token_for(ByteView signature) const;

  SignatureSession& inner_;
  TimestampAuthority authority_;
  const TimestampCrypto& crypto_;
  std::int64_t now_;
};

}  // namespace orvane::provider
