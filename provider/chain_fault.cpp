#include "provider/chain_fault.h"

#include <array>

namespace orvane::provider {
namespace {

// The order in which the base chain policy looks at a chain's faults: a broken signature or an
// untrusted anchor says more about a chain than the dates of its certificates do.
constexpr std::array precedence = {
    ChainFault::certificate_signature,
    ChainFault::untrusted_root,
    ChainFault::partial_chain,
    ChainFault::revoked,
    ChainFault::expired,
    ChainFault::wrong_usage,
    ChainFault::role,
    ChainFault::path_length,
    ChainFault::critical_extension,
    ChainFault::invalid_policy,
    ChainFault::invalid_name,
    ChainFault::revocation_unknown,
    ChainFault::other,
};

unsigned bit_of(ChainFault fault) {
  return 1u << static_cast<unsigned>(fault);
}

}  // namespace

CryptError crypt_error_of(ChainFault fault) {
  switch (fault) {
    case ChainFault::expired:
      return CryptError::expired;
    case ChainFault::untrusted_root:
      return CryptError::untrusted_root;
    case ChainFault::partial_chain:
      return CryptError::chaining;
    case ChainFault::certificate_signature:
      return CryptError::certificate_signature;
    case ChainFault::role:
      return CryptError::role;
    case ChainFault::path_length:
      return CryptError::path_length;
    case ChainFault::wrong_usage:
      return CryptError::wrong_usage;
    case ChainFault::critical_extension:
      return CryptError::critical_extension;
    case ChainFault::revoked:
      return CryptError::revoked;
    case ChainFault::revocation_unknown:
      return CryptError::revocation_offline;
    case ChainFault::invalid_policy:
      return CryptError::invalid_policy;
    case ChainFault::invalid_name:
      return CryptError::invalid_name;
    case ChainFault::other:
      break;
  }
  return CryptError::trust_failure;
}

ChainFaults::ChainFaults(std::initializer_list<ChainFault> faults) {
  for (const ChainFault fault : faults) add(fault);
}

void ChainFaults::add(ChainFault fault) {
  bits_ |= bit_of(fault);
}

std::optional<ChainFault> ChainFaults::reported() const {
  for (const ChainFault fault : precedence) {
    if (bits_ & bit_of(fault)) return fault;
  }
  return std::nullopt;
}

std::optional<CryptError> ChainFaults::crypt_error() const {
  const auto fault = reported();
  if (!fault) return std::nullopt;
  return crypt_error_of(*fault);
}

}  // namespace orvane::provider
