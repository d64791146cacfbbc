#pragma once

// RFC 3161 time-stamp messages in DER, the same for every back end: the request for a
// signature's timestamp, the authority's response, what a token's TSTInfo says, and the tokens
// that a signed message's signer infos carry as unsigned attributes. Nothing here checks a
// signature: the back ends do, through timestamping.h.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/bytes.h"
#include "runtime/failure.h"

namespace orvane::provider {

// What a token's TSTInfo says.
struct TimestampInfo {
  std::string policy;             // the authority's policy, a dotted OID
  std::string imprint_algorithm;  // the digest algorithm of the imprint, a dotted OID
  Bytes imprint;
  std::int64_t time = 0;  // genTime, seconds since 1970 UTC
  // The nonce's INTEGER content octets; nothing when the token has none.
  std::optional<Bytes> nonce;
};

// A TimeStampReq for the SHA-256 digest `imprint`, with `nonce` (the content octets of a
// positive INTEGER), certReq true, and `policy` (a dotted OID) as reqPolicy unless empty.
Bytes timestamp_request(ByteView imprint, ByteView nonce, std::string_view policy);

// The token of a TimeStampResp whose status is granted or grantedWithMods. Any other answer
// fails with timestamp_failure, saying what the authority said.
Bytes granted_token(ByteView response);

// The DER TSTInfo that a token's signer signed: the content octets of the token's eContent.
// Fails with timestamp_failure when the token is no signed data holding one.
ByteView timestamp_info_content(ByteView token);

// The certificate that a token's signer says it is, by its ESS signing-certificate attribute
// (RFC 2634, RFC 5035): the first certificate identifier's hash and the dotted OID of the
// digest algorithm it is made with. `attribute` is signingCertificate or signingCertificateV2,
// `value` the attribute's one value. Fails with timestamp_failure when the value is malformed.
struct SigningCertificateId {
  std::string digest_algorithm;
  Bytes hash;
};
SigningCertificateId signing_certificate_id(std::string_view attribute, ByteView value);

// What the token (a ContentInfo of signed data whose content is a TSTInfo) says; fails with
// timestamp_failure when it is no such token.
TimestampInfo read_timestamp_info(ByteView token);

// The parts of a SignerInfo that its timestamps concern: its signature value and the value of
// each signature-timestamp-token attribute among its unsigned attributes.
struct SignerTimestampParts {
  ByteView signature;
  std::vector<ByteView> tokens;
};
// Nothing when `signer_info` is no SignerInfo.
std::optional<SignerTimestampParts> signer_timestamp_parts(ByteView signer_info);

// The DER ContentInfo `message` of signed data with each signer info given one more unsigned
// attribute, a signature timestamp token: `token_for(signature value)`. CRYPT_E_BAD_ENCODE when
// `message` is no such ContentInfo.
Bytes with_timestamp_tokens(ByteView message, const std::function<Bytes(ByteView)>& token_for);

// TRUST_E_TIME_STAMP with its standard text and, in parentheses, `why`.
Failure timestamp_failure(std::string_view why);

}  // namespace orvane::provider
