#include "provider/crypt_error.h"

#include <gtest/gtest.h>

#include "provider/chain_fault.h"

namespace orvane::provider {
namespace {

TEST(CryptFailure, CarriesTheStatusCodeAsANegativeNumberAndItsWindowsText) {
  const Failure hash = crypt_failure(CryptError::hash_value);
  EXPECT_EQ(hash.number(), -2146889721);  // 0x80091007
  EXPECT_EQ(hash.description(), u"The hash value is not correct.");

  const Failure root = crypt_failure(CryptError::untrusted_root);
  EXPECT_EQ(root.number(), -2146762487);  // 0x800B0109
  EXPECT_EQ(root.description(),
            u"A certificate chain processed, but terminated in a root certificate which is not "
            u"trusted by the trust provider.");

  EXPECT_EQ(crypt_failure(CryptError::bad_signature).number(), -2146893818);  // 0x80090006
  EXPECT_STREQ(crypt_failure(CryptError::bad_signature).what(), "Invalid Signature.");
}

// Verifiers report a chain's faults together (CryptoAPI) or one after another (OpenSSL); both
// must name the same one.
TEST(ChainFaults, TheReportedFaultIsChosenByOnePrecedenceWhateverTheOrderFound) {
  EXPECT_EQ(ChainFaults{}.crypt_error(), std::nullopt);
  EXPECT_EQ((ChainFaults{ChainFault::expired, ChainFault::untrusted_root}).crypt_error(),
            CryptError::untrusted_root);
  EXPECT_EQ((ChainFaults{ChainFault::untrusted_root, ChainFault::expired}).crypt_error(),
            CryptError::untrusted_root);
  EXPECT_EQ((ChainFaults{ChainFault::other, ChainFault::expired}).crypt_error(),
            CryptError::expired);
  EXPECT_EQ(
      (ChainFaults{ChainFault::partial_chain, ChainFault::certificate_signature}).crypt_error(),
      CryptError::certificate_signature);
  EXPECT_EQ(ChainFaults{ChainFault::other}.crypt_error(), CryptError::trust_failure);
}

}  // namespace
}  // namespace orvane::provider
