#include "provider/timestamping.h"

#include "provider/crypt_error.h"
#include "provider/object_identifiers.h"
#include "provider/signer_policy.h"
#include "runtime/http.h"
#include "runtime/text.h"

namespace orvane::provider {
namespace {

// A transport failure as the platform's HTTP client reports it, with what went wrong.
Failure transport_failure(const http::HttpError& error) {
  const CryptError code =
      error.timed_out() ? CryptError::http_timed_out : CryptError::http_cannot_connect;
  return Failure(crypt_error_number(code), crypt_error_text(code) + u" (the time-stamping " +
                                               u"authority: " + text_from_utf8(error.what()) +
                                               u")");
}

}  // namespace

ProvedTimestamp prove_timestamp(ByteView token, ByteView signature, const TimestampCrypto& crypto,
                                std::int64_t now) {
  const TimestampInfo info = read_timestamp_info(token);
  if (is_weak_digest(info.imprint_algorithm)) {
    throw timestamp_failure("the token's imprint algorithm " + info.imprint_algorithm +
                            " is too weak");
  }
  // A moment yet to come is no proof of the past; a few minutes allow for clocks that differ.
  if (info.time > now + 300) throw timestamp_failure("the token's time has not come yet");
  const Bytes expected = crypto.digest(info.imprint_algorithm, signature);
  if (expected.empty()) {
    throw timestamp_failure("the token's imprint algorithm " + info.imprint_algorithm +
                            " is unknown");
  }
  if (expected != info.imprint) {
    throw timestamp_failure("the token is for another signature");
  }
  ProvedTimestamp proved{info.time, crypto.verify_token_signature(token, info.time, now),
                         info.policy};
  return proved;
}

std::optional<ProvedTimestamp> signer_timestamp(const SignerTimestampParts& parts,
                                                const TimestampCrypto& crypto, std::int64_t now,
                                                TimestampNotes* notes) {
  std::optional<ProvedTimestamp> earliest;
  for (const ByteView token : parts.tokens) {
    ProvedTimestamp proved;
    try {
      proved = prove_timestamp(token, parts.signature, crypto, now);
    } catch (const Failure&) {
      // A verification answers with the code's own text, as for every other fault it finds.
      throw crypt_failure(CryptError::time_stamp);
    }
    if (!earliest || proved.time < earliest->time) earliest = proved;
    if (notes != nullptr) notes->add(std::move(proved));
  }
  return earliest;
}

TimestampedSession::TimestampedSession(SignatureSession& inner, TimestampAuthority authority,
                                       const TimestampCrypto& crypto, std::int64_t now)
    : inner_(inner), authority_(std::move(authority)), crypto_(crypto), now_(now) {}

Bytes TimestampedSession::finish() {
  return with_timestamp_tokens(inner_.finish(),
                               [this](ByteView signature) { return token_for(signature); });
}

Bytes TimestampedSession::token_for(ByteView signature) const {
  const Bytes imprint = crypto_.digest(oid::sha256, signature);
  // A positive INTEGER of eight octets: the top bit clear, and the first octet not zero so that
  // its encoding is minimal and the authority hands it back as sent.
  Bytes nonce = crypto_.random(8);
  nonce[0] = static_cast<std::uint8_t>((nonce[0] & 0x7F) | 0x01);
  http::Request request;
  request.method = http::Request::Method::post;
  request.url = authority_.url;
  const Bytes query = timestamp_request(imprint, nonce, authority_.policy);
  request.body.assign(query.begin(), query.end());
  request.content_type = "application/timestamp-query";
  request.timeout = TimestampAuthority::request_limit;
  request.response_limit = 256 * 1024;
  http::Response response;
  try {
    response = http::send(request);
  } catch (const http::HttpError& error) {
    throw transport_failure(error);
  }
  if (response.status != 200) {
    throw timestamp_failure("the authority answered HTTP " + std::to_string(response.status));
  }
  const ByteView body(reinterpret_cast<const std::uint8_t*>(response.body.data()),
                      response.body.size());
  Bytes token = granted_token(body);
  const TimestampInfo info = read_timestamp_info(token);
  if (info.nonce != nonce) {
    throw timestamp_failure("the token does not answer this request (its nonce differs)");
  }
  if (!authority_.policy.empty() && info.policy != authority_.policy) {
    throw timestamp_failure("the token's policy " + info.policy + " is not " + authority_.policy);
  }
  prove_timestamp(token, signature, crypto_, now_);
  return token;
}

}  // namespace orvane::provider
