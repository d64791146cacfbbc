#pragma once

#include <initializer_list>
#include <optional>

#include "provider/crypt_error.h"

namespace orvane::provider {

// Why a certificate chain is not trusted, as every back end names it once it has read its own
// verifier's status. One table turns it into a code, so the same chain fails with the same
// number on every platform.
enum class ChainFault {
  expired,                // a certificate is outside its validity period
  untrusted_root,         // the chain ends in a root that is not trusted
  partial_chain,          // no chain reaches a root
  certificate_signature,  // a certificate's signature does not verify, or is weak
  role,                   // basic constraints: an end entity acts as a CA, or the reverse
  path_length,            // a path-length constraint is exceeded
  wrong_usage,            // a certificate is not valid for the usage the chain needs
  critical_extension,     // a critical extension is not understood
  revoked,                // a certificate is revoked
  revocation_unknown,     // a certificate's revocation status, required, cannot be found
  invalid_policy,         // the certificate policies do not hold
  invalid_name,           // name constraints are violated
  other,                  // anything else the verifier refuses
};

// The code that Windows reports for a chain with this fault.
CryptError crypt_error_of(ChainFault fault);

// The faults a verifier reported for one chain. A verifier may report several at once; the one
// reported is the one Windows' base policy names first, whichever back end found them.
class ChainFaults {
 public:
  ChainFaults() = default;
  ChainFaults(std::initializer_list<ChainFault> faults);

  void add(ChainFault fault);
  bool empty() const { return bits_ == 0; }
  // The fault that names the chain's failure; nothing when there is none.
  std::optional<ChainFault> reported() const;
  // The code of the reported fault; nothing when there is none.
  std::optional<CryptError> crypt_error() const;

 private:
  unsigned bits_ = 0;
};

}  // namespace orvane::provider
