#include <gtest/gtest.h>

#include "provider/base64.h"
#include "provider/openssl/signer.h"
#include "runtime/platform.h"
#include "signing/certificate_selection.h"
#include "tests/provider/openssl_cli.h"
#include "tests/provider/pki_fixture.h"
#include "tests/provider/signed_text.h"
#include "tests/smart_card/soft_tokens.h"

namespace orvane::signing {
namespace {

namespace fs = std::filesystem;
using orvane::testing::quoted;
using provider::CryptError;

const Text content = u"Signed on the card: \u20AC \u00E9.";

// Selection and signing with the certificates of SoftHSM tokens, the personal store being the
// test PKI's.
class SmartCardSigningTest : public orvane::testing::PkiTest {
 protected:
  // Leaves `certificate` to the token only: its files leave the personal store.
  void move_to_token(const test_pki::TestCertificate& certificate, const std::string& id) {
    tokens.put("Orvane Card", "1234", certificate, id);
    fs::remove(certificate.certificate);
    fs::remove(certificate.private_key);
  }

  CertificateSelection select(const Text& serial) {
    return SelectSignerCertificate(*factory, serial, native_clock()->now());
  }

  // Signs the content as Signfile does with the certificate that selection binds.
  Text sign_with(const Text& serial, bool detached) {
    const auto selection = select(serial);
    EXPECT_TRUE(selection.bound()) << text_to_utf8(selection.answer.text());
    if (!selection.bound()) return {};
    selection.signer->AddAuthenticatedAttribute(
        {provider::AttributeName::signing_time, native_clock()->now()});
    const auto signed_data = factory->CreateSignedData();
    return orvane::testing::sign_text(
        *signed_data, *selection.signer, content,
        detached ? provider::Attachment::detached : provider::Attachment::attached);
  }

  // Whether the openssl command accepts `message` over the content's bytes.
  bool openssl_verifies(const Text& message, bool detached) {
    const fs::path der = folder.path() / "message.der";
    const fs::path data = folder.path() / "content.bin";
    const fs::path out = folder.path() / "out.bin";
    orvane::testing::write_file(der, provider::decode_base64_text(message).value_or(Bytes{}));
    orvane::testing::write_file(data, orvane::testing::utf16le_file(content));
    return orvane::testing::run_openssl("cms -verify -binary -inform DER -in " + quoted(der) +
                                        (detached ? " -content " + quoted(data) : std::string()) +
                                        " -CAfile " + quoted(pki.root.certificate) + " -out " +
                                        quoted(out)) &&
           orvane::testing::read_file(out) == orvane::testing::utf16le_file(content);
  }

  orvane::testing::SoftTokens tokens{folder.path() / "softhsm", folder.path()};
};

TEST_F(SmartCardSigningTest, ACertificateOnlyOnATokenIsBoundAndSignsWithTheTokensRsaOrEcKey) {
  tokens.create("Orvane Card", "1234");
  move_to_token(pki.user, "01");
  move_to_token(pki.ec_user, "02");
  tokens.write_pin_file("Orvane Card", "1234\n");

  const Text rsa = sign_with(pki.user.serial, false);
  EXPECT_TRUE(openssl_verifies(rsa, false));
  const Text ec = sign_with(pki.ec_user.serial, true);
  EXPECT_TRUE(openssl_verifies(ec, true));
  // Orvane's own verification is the same as for any signer.
  EXPECT_EQ(verify(rsa).content, content);
  EXPECT_NO_THROW(verify(ec, content));
}

TEST_F(SmartCardSigningTest, AKeyThatAsksForThePinAtEverySignatureGetsItFromThePinFile) {
  tokens.create("Orvane Card", "1234");
  tokens.put("Orvane Card", "1234", pki.ec_user, "01",
             orvane::testing::TokenKey::always_authenticate);
  fs::remove(pki.ec_user.certificate);
  tokens.write_pin_file("Orvane Card", "1234");
  EXPECT_TRUE(openssl_verifies(sign_with(pki.ec_user.serial, false), false));
  EXPECT_TRUE(openssl_verifies(sign_with(pki.ec_user.serial, true), true));
}

TEST_F(SmartCardSigningTest, ACertificateInBothStoresBindsThePersonalOne) {
  tokens.create("Orvane Card", "1234");
  tokens.put("Orvane Card", "1234", pki.ec_user, "01");
  tokens.write_pin_file("Orvane Card", "1234\n");
  const auto selection = select(pki.ec_user.serial);
  ASSERT_TRUE(selection.bound());
  const auto& signer = dynamic_cast<const provider::openssl::OpensslSigner&>(*selection.signer);
  EXPECT_EQ(signer.certificate()->device(), nullptr);
}

TEST_F(SmartCardSigningTest, ATokenCertificateWithoutAKeyOnTheTokenDoesNotMatch) {
  tokens.create("Orvane Card", "1234");
  tokens.put("Orvane Card", "1234", pki.without_key, "01", orvane::testing::TokenKey::none);
  tokens.put("Orvane Card", "1234", pki.expired, "02");
  tokens.write_pin_file("Orvane Card", "1234\n");
  fs::remove(pki.expired.certificate);
  EXPECT_EQ(select(pki.without_key.serial).answer.outcome, Outcome::no_certificate);
  EXPECT_EQ(select(pki.expired.serial).answer.outcome, Outcome::no_certificate);
}

TEST_F(SmartCardSigningTest, PinFileProblemsFailTheSignatureAndLeaveTheTokenUsable) {
  tokens.create("Orvane Card", "1234");
  move_to_token(pki.ec_user, "01");
  const auto signing = [this] { sign_with(pki.ec_user.serial, true); };

  EXPECT_TRUE(orvane::testing::fails_with(CryptError::no_pin_presented, signing));
  tokens.write_pin_file("Orvane Card", "1234\n",
                        fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  EXPECT_TRUE(orvane::testing::fails_with(CryptError::access_denied, signing));
  // A wrong PIN is tried once a reading, and the token takes the right one afterwards.
  for (int attempt = 0; attempt < 3; ++attempt) {
    tokens.write_pin_file("Orvane Card", "4321\n");
    EXPECT_TRUE(orvane::testing::fails_with(CryptError::wrong_pin, signing));
  }
  tokens.write_pin_file("Orvane Card", "1234\r\n");
  EXPECT_TRUE(openssl_verifies(sign_with(pki.ec_user.serial, true), true));
}

}  // namespace
}  // namespace orvane::signing
