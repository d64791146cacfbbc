#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>

#include "provider/base64.h"
#include "provider/content_bytes.h"
#include "provider/crypt_error.h"
#include "tests/provider/der_edit.h"
#include "tests/provider/pki_fixture.h"
#include "tests/provider/signed_text.h"

namespace orvane::provider {
namespace {

using orvane::testing::fails_with;
using orvane::testing::failure_number;
using orvane::testing::sign_text;
using orvane::testing::verify_text;

const Text content = u"Orvane signs code units: \u20AC, \u00E9, \u4E2D.";

// The DER inside a message text.
Bytes der_of(const Text& message) {
  auto der = decode_base64_text(message);
  EXPECT_TRUE(der.has_value());
  return der.value_or(Bytes{});
}

class OpensslSignedDataTest : public orvane::testing::PkiTest {};

TEST_F(OpensslSignedDataTest, RsaAndEcKeysBothSignMessagesThatVerifyWithTheSignersChain) {
  for (const auto* signer : {&pki.user, &pki.ec_user}) {
    SCOPED_TRACE(text_to_utf8(signer->serial));
    const auto verified = verify(sign(signer->serial, content, false));
    EXPECT_EQ(verified.content, content);
    EXPECT_EQ(verified->Signers(1)->GetCertificate()->SerialNumber(), signer->serial);
  }
}

TEST_F(OpensslSignedDataTest, MessageIsBase64InLinesOf64CharactersEachEndedByCrLf) {
  const Text message = sign(pki.ec_user.serial, content, true);
  ASSERT_GE(message.size(), 2u);
  EXPECT_EQ(message.substr(message.size() - 2), u"\r\n");
  std::size_t start = 0;
  while (start < message.size()) {
    const std::size_t end = message.find(u"\r\n", start);
    ASSERT_NE(end, Text::npos);
    const bool last = end + 2 == message.size();
    EXPECT_TRUE(last ? end - start <= 64 : end - start == 64);
    start = end + 2;
  }
}

TEST_F(OpensslSignedDataTest, DetachedSignatureVerifiesAgainstItsContentOnly) {
  const Text message = sign(pki.user.serial, content, true);
  EXPECT_NO_THROW(verify(message, content));
  EXPECT_TRUE(fails_with(CryptError::hash_value, [&] { verify(message, content + u"."); }));
  // Without the content the message carries nothing to match the digest.
  EXPECT_TRUE(fails_with(CryptError::hash_value, [&] { verify(message); }));
}

TEST_F(OpensslSignedDataTest, VerifyingRightAfterSigningChecksEachMessageAgainstTheContent) {
  const Text other_message = sign(pki.ec_user.serial, content + u".", true);
  const auto signed_data = factory->CreateSignedData();
  const auto signer = signer_for(pki.user.serial);
  const Text own_message = sign_text(*signed_data, *signer, content, Attachment::detached);
  const auto verify_detached = [&](const Text& message) {
    signed_data->Verify(MemoryMessage(message), Attachment::detached);
  };
  EXPECT_NO_THROW(verify_detached(own_message));
  EXPECT_TRUE(fails_with(CryptError::hash_value, [&] { verify_detached(other_message); }));
  EXPECT_TRUE(fails_with(CryptError::hash_value,
                         [&] { verify_text(*signed_data, own_message, content + u"."); }));
}

TEST_F(OpensslSignedDataTest, RootsOfTheSystemBundleAreTrusted) {
  const Text message = sign(pki.untrusted_user.serial, content, false);
  EXPECT_TRUE(fails_with(CryptError::chaining, [&] { verify(message); }));

  // The system's roots as OpenSSL finds them: a bundle file and a hashed folder.
  const auto empty_folder = folder.path() / "no-hashed-roots";
  std::filesystem::create_directory(empty_folder);
  ::setenv("SSL_CERT_FILE", pki.untrusted_root.certificate.c_str(), 1);
  ::setenv("SSL_CERT_DIR", empty_folder.c_str(), 1);
  factory = default_factory(folder.path());
  EXPECT_NO_THROW(verify(message));
  ::unsetenv("SSL_CERT_FILE");
  ::unsetenv("SSL_CERT_DIR");
}

TEST_F(OpensslSignedDataTest, TamperedContentOrSignatureFails) {
  Bytes der = der_of(sign(pki.ec_user.serial, content, false));
  const ByteView carried = content_bytes(content);
  const auto at = std::search(der.begin(), der.end(), carried.begin(), carried.end());
  ASSERT_NE(at, der.end());

  Bytes other_content = der;
  other_content[static_cast<std::size_t>(at - der.begin())] ^= 0x01;
  EXPECT_TRUE(fails_with(CryptError::hash_value, [&] { verify(base64_lines(other_content)); }));

  // The signature is the last field of the last signer.
  Bytes other_signature = der;
  other_signature.back() ^= 0x01;
  EXPECT_TRUE(
      fails_with(CryptError::bad_signature, [&] { verify(base64_lines(other_signature)); }));
}

TEST_F(OpensslSignedDataTest, SignersOutsideTheirValidityOrTrustFailOnlyTheCertificateCheck) {
  const Text expired = sign(pki.expired.serial, content, false);
  EXPECT_TRUE(fails_with(CryptError::expired, [&] { verify(expired); }));
  const Text not_yet_valid = sign(pki.not_yet_valid.serial, content, false);
  EXPECT_TRUE(fails_with(CryptError::expired, [&] { verify(not_yet_valid); }));
  // The message leaves its root out, and no store holds this one.
  const Text untrusted = sign(pki.untrusted_user.serial, content, false);
  EXPECT_TRUE(fails_with(CryptError::chaining, [&] { verify(untrusted); }));
}

TEST_F(OpensslSignedDataTest, TheSignersDigestAlgorithmsCountNotTheSendersList) {
  using orvane::testing::DerElement;
  const Bytes der = der_of(sign(pki.ec_user.serial, content, false));
  auto fields = orvane::testing::signed_data_fields(der);
  const auto algorithms = orvane::testing::der_elements(fields.at(1).content);
  ASSERT_EQ(algorithms.size(), 1u);
  const DerElement sha256 = algorithms.front();
  const DerElement oid = orvane::testing::der_elements(sha256.content).front();
  const Bytes known = orvane::testing::der_encode(oid.tag, oid.content);
  Bytes unknown_oid = known;
  unknown_oid.back() ^= 0x7F;
  const DerElement unknown{sha256.tag, unknown_oid};

  // The list is the sender's to make as long as it likes: a digest for each of its entries
  // would take minutes for a message of a few hundred kilobytes.
  std::vector<DerElement> long_list(20'000, unknown);
  long_list.front() = sha256;
  fields[1].content = orvane::testing::der_concatenate(long_list);
  EXPECT_EQ(verify(base64_lines(orvane::testing::with_signed_data_fields(der, fields))).content,
            content);

  // A signer whose own digest algorithm nobody knows fails as such.
  Bytes unknown_at_the_signer = der;
  for (auto at = std::search(unknown_at_the_signer.begin(), unknown_at_the_signer.end(),
                             known.begin(), known.end());
       at != unknown_at_the_signer.end();
       at = std::search(at, unknown_at_the_signer.end(), known.begin(), known.end())) {
    at += static_cast<std::ptrdiff_t>(known.size());
    *(at - 1) = unknown_oid.back();
  }
  EXPECT_TRUE(fails_with(CryptError::unknown_algorithm,
                         [&] { verify(base64_lines(unknown_at_the_signer)); }));
}

TEST_F(OpensslSignedDataTest, SigningNeedsABoundCertificateWithAKey) {
  EXPECT_TRUE(fails_with(CryptError::no_key, [&] { sign(pki.without_key.serial, content, true); }));
  const auto unbound = factory->CreateSigner();
  const auto signed_data = factory->CreateSignedData();
  EXPECT_TRUE(fails_with(CryptError::not_found,
                         [&] { sign_to_text(*signed_data, *unbound, Attachment::detached); }));
  EXPECT_TRUE(fails_with(CryptError::not_found, [&] { unbound->GetCertificate(); }));
  // One signing time per message.
  const auto signer = signer_for(pki.user.serial);
  EXPECT_TRUE(fails_with(CryptError::exists, [&] {
    signer->AddAuthenticatedAttribute({AttributeName::signing_time, {}});
  }));
}

TEST_F(OpensslSignedDataTest, EmptyContentSignsAndComesBackEmpty) {
  EXPECT_EQ(verify(sign(pki.ec_user.serial, u"", false)).content, u"");
  EXPECT_NO_THROW(verify(sign(pki.ec_user.serial, u"", true), Text()));
}

TEST_F(OpensslSignedDataTest, MessagesThatAreNoSignedDataFail) {
  EXPECT_TRUE(fails_with(CryptError::asn1_bad_tag, [&] { verify(u"not a message"); }));
  EXPECT_TRUE(fails_with(CryptError::asn1_bad_tag, [&] { verify(u""); }));
  // A message cut short is no message either, and the failure says so.
  Text message = sign(pki.ec_user.serial, content, true);
  EXPECT_TRUE(
      fails_with(CryptError::asn1_end_of_data, [&] { verify(message.substr(0, 100), content); }));
}

TEST_F(OpensslSignedDataTest, SignersAreThoseOfTheLastMessageThatVerified) {
  const auto signed_data = factory->CreateSignedData();
  EXPECT_TRUE(fails_with(CryptError::invalid_index, [&] { signed_data->Signers(1); }));
  verify_text(*signed_data, sign(pki.user.serial, content, false));
  EXPECT_EQ(signed_data->Signers(1)->GetCertificate()->SerialNumber(), pki.user.serial);
  EXPECT_TRUE(fails_with(CryptError::invalid_index, [&] { signed_data->Signers(2); }));

  EXPECT_NE(failure_number([&] { verify_text(*signed_data, u"not a message"); }), 0);
  EXPECT_TRUE(fails_with(CryptError::invalid_index, [&] { signed_data->Signers(1); }));
}

}  // namespace
}  // namespace orvane::provider
