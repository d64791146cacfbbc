#pragma once

// What verifications found out about the revocation of the certificates they judged, for the
// people who read it (the orvane command says it on standard error). The verdict itself is the
// failure that a verification throws: CRYPT_E_REVOKED, or CRYPT_E_REVOCATION_OFFLINE when the
// configuration requires a status that could not be had.

#include <string>
#include <vector>

namespace orvane::provider {

struct RevocationFinding {
  enum class Status {
    revoked,  // a valid CRL or OCSP response says so
    unknown,  // no valid source had the certificate's status
  };
  Status status = Status::unknown;
  // The certificate, as a person identifies it: RFC 2253 subject, serial number as selected.
  std::string subject;
  std::string serial;
  // When it was revoked ("2026-12-06T19:35:44Z") and RFC 5280's name of the reason
  // ("keyCompromise"); empty when not revoked or not given.
  std::string revoked_at;
  std::string reason;
  // Where the answer came from, or which sources were tried in vain ("the message's CRLs",
  // "http://127.0.0.1:8080/ca.crl: timed out").
  std::string source;
};

// Collects the findings of the verifications whose policy names it, in the order found.
// Used by one thread at a time, like the Sign object that is given it.
class RevocationNotes {
 public:
  void add(RevocationFinding finding) { findings_.push_back(std::move(finding)); }
  const std::vector<RevocationFinding>& findings() const { return findings_; }
  void clear() { findings_.clear(); }

 private:
  std::vector<RevocationFinding> findings_;
};

// RFC 5280's name of the CRL reason code `code` ("keyCompromise" for 1); empty for a code it
// does not define.
std::string revocation_reason_name(int code);

}  // namespace orvane::provider
