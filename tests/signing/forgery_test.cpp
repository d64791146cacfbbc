// Hostile messages offered to both verifications in both modes: each is refused with the
// answer of its stage, and nothing is restored.
#include "provider/crypt_error.h"
#include "runtime/code_page.h"
#include "tests/provider/openssl_cli.h"
#include "tests/signing/sign_fixture.h"

namespace orvane::signing {
namespace {

namespace fs = std::filesystem;
using provider::CryptError;
using testing::quoted;
using testing::run_openssl;

const Text not_valid = u"Signature or Certificate is not valid ";
// An even number of bytes, so that the file's bytes are its code units exactly.
const std::string file_text = "report text!";

// One signer's messages for each check: detached over the file's text (Verify) and over its
// bytes (VerifyCodeWithFile), and attached over the envelope of 'report.pdf'.
struct Messages {
  std::string over_text;
  std::string over_bytes;
  std::string attached;
};

class Forgery : public SignTest {
 protected:
  Forgery() { write("report.pdf", file_text); }

  Messages messages_of(const test_pki::TestCertificate& signer, const std::string& options = {}) {
    const Text text = text_from_ascii(file_text);
    return {openssl_sign(utf16le(text), signer, "-outform DER " + options),
            openssl_sign(file_text, signer, "-outform DER " + options),
            openssl_sign(utf16le(text + u".pdf4"), signer, "-outform DER -nodetach " + options)};
  }

  // The answers of the four checks, with the serial number of `serial`; the attached ones
  // restore to 'copy.pdf' and 'message_Signature.pdf' when they pass.
  std::vector<Text> answers(const Messages& messages, const Text& serial) {
    write("signature.der", messages.over_text);
    write("message_Signature.txt", messages.attached);
    Variant signature = text_path("signature.der");
    Variant restore = text_path("copy.xyz");
    const Text over_bytes = decode_text(
        windows_1252(), ByteView(reinterpret_cast<const std::uint8_t*>(messages.over_bytes.data()),
                                 messages.over_bytes.size()));
    return {sign.Verify(text_path("report.pdf"), signature, vb_true, serial),
            sign.VerifyCodeWithFile(text_path("report.pdf"), over_bytes, vb_true),
            sign.Verify(text_path("message_Signature.txt"), restore, vb_false, serial),
            sign.VerifyCodeWithFile(text_path("message_Signature.txt"), Variant(), vb_false)};
  }

  // Every check refuses: the detached ones as an invalid signature, the attached ones with the
  // provider's text for `attached_failure`; and nothing is restored.
  void expect_refused(const Messages& messages, const Text& serial, CryptError attached_failure) {
    const Text signing_error = u"Signing Error: " + provider::crypt_error_text(attached_failure);
    EXPECT_EQ(answers(messages, serial),
              (std::vector<Text>{not_valid, not_valid, signing_error, signing_error}));
    EXPECT_EQ(work_files(),
              (std::vector<std::string>{"message_Signature.txt", "report.pdf", "signature.der"}));
  }

  // A certificate with the issuer name and serial number of `real`, for a key of its own,
  // issued by a CA that only claims the real issuer's name; its PEM and key files.
  std::pair<fs::path, fs::path> impostor_of(const test_pki::TestCertificate& real) {
    const fs::path folder = test.folder.path() / "impostor";
    fs::create_directories(folder);
    const auto key = [&](const std::string& name) {
      EXPECT_TRUE(run_openssl("genpkey -algorithm EC -pkeyopt ec_paramgen_curve:P-256 -out " +
                              quoted(folder / name)));
      return folder / name;
    };
    const fs::path ca_key = key("ca.key");
    const fs::path user_key = key("user.key");
    EXPECT_TRUE(
        run_openssl("req -x509 -new -key " + quoted(ca_key) +
                    " -subj \"/O=Orvane Tests/CN=Orvane Test Intermediate\" -days 30 -out " +
                    quoted(folder / "ca.pem")));
    EXPECT_TRUE(run_openssl("req -new -key " + quoted(user_key) +
                            " -subj \"/O=Orvane Tests/CN=Orvane Test User\" -out " +
                            quoted(folder / "user.csr")));
    EXPECT_TRUE(run_openssl("x509 -req -in " + quoted(folder / "user.csr") + " -CA " +
                            quoted(folder / "ca.pem") + " -CAkey " + quoted(ca_key) +
                            " -set_serial 0x" + text_to_utf8(real.serial) + " -days 30 -out " +
                            quoted(folder / "user.pem")));
    return {folder / "user.pem", user_key};
  }
};

TEST_F(Forgery, HonestMessagesPassEveryCheck) {
  EXPECT_EQ(answers(messages_of(pki.user), pki.user.serial),
            (std::vector<Text>{u"success", u"success", u"success", u"success"}));
  EXPECT_EQ(testing::read_file(path("copy.pdf")), file_text);
}

TEST_F(Forgery, ASignatureOverOtherContent) {
  Messages messages = messages_of(pki.user);
  messages.over_text = openssl_sign(utf16le(u"other text!!"), pki.user, "-outform DER");
  messages.over_bytes = openssl_sign("other text!!", pki.user, "-outform DER");
  // The carried content changed after signing.
  const std::string carried = utf16le(u"report text!");
  const auto at = messages.attached.find(carried);
  ASSERT_NE(at, std::string::npos);
  messages.attached[at] = 'R';
  expect_refused(messages, pki.user.serial, CryptError::hash_value);
}

TEST_F(Forgery, AnImpostorCertificateWithTheSignersIssuerAndSerialNumber) {
  const auto [impostor, impostor_key] = impostor_of(pki.user);
  const test_pki::TestCertificate forger{pki.user.serial, impostor, impostor_key, 0, 0};
  // Carried by the message: its signature holds, but the real issuer never signed it.
  expect_refused(messages_of(forger), pki.user.serial, CryptError::certificate_signature);
  // The real certificate carried instead, or none so that the store's is taken: the forger's
  // key does not match it.
  const fs::path real_chain = test.folder.path() / "real-chain.pem";
  testing::write_file(real_chain, testing::read_file(pki.user.certificate) +
                                      testing::read_file(pki.intermediate.certificate));
  expect_refused(messages_of(forger, "-nocerts -certfile " + quoted(real_chain)), pki.user.serial,
                 CryptError::bad_signature);
  expect_refused(messages_of(forger, "-nocerts"), pki.user.serial, CryptError::bad_signature);
}

TEST_F(Forgery, ACarriedDecoyCertificateDoesNotNameTheSigner) {
  // The message carries another user's certificate, not its signer's: the signer comes from
  // the store, and the serial number checked is the signer's.
  const fs::path decoy = test.folder.path() / "decoy.pem";
  testing::write_file(decoy, testing::read_file(pki.ec_user.certificate));
  const Messages messages = messages_of(pki.user, "-nocerts -certfile " + quoted(decoy));
  EXPECT_EQ(answers(messages, pki.user.serial),
            (std::vector<Text>{u"success", u"success", u"success", u"success"}));
  const Text login = u"The file has not been signed with the certificate used for login.";
  const auto as_decoy = answers(messages, pki.ec_user.serial);
  EXPECT_EQ(as_decoy[0], login);
  EXPECT_EQ(as_decoy[2], login);
}

TEST_F(Forgery, SignersOutsideTheirValidityOrTrust) {
  expect_refused(messages_of(pki.expired), pki.expired.serial, CryptError::expired);
  expect_refused(messages_of(pki.not_yet_valid), pki.not_yet_valid.serial, CryptError::expired);
  // The message carries the untrusted root itself.
  expect_refused(
      messages_of(pki.untrusted_user, "-certfile " + quoted(pki.untrusted_root.certificate)),
      pki.untrusted_user.serial, CryptError::untrusted_root);
}

TEST_F(Forgery, TwoSignersOneForged) {
  Messages messages = messages_of(pki.user, "-signer " + quoted(pki.ec_user.certificate) +
                                                " -inkey " + quoted(pki.ec_user.private_key));
  // The second signature is the message's last field.
  for (std::string* message : {&messages.over_text, &messages.over_bytes, &messages.attached}) {
    message->back() ^= 0x01;
  }
  expect_refused(messages, pki.user.serial, CryptError::bad_signature);
}

TEST_F(Forgery, ADetachedSignatureOfferedAsAttachedAndTheReverse) {
  const Messages honest = messages_of(pki.user);
  // Without the content it was made for, a detached signature matches only empty content.
  expect_refused({honest.attached, honest.attached, honest.over_text}, pki.user.serial,
                 CryptError::hash_value);
}

TEST_F(Forgery, TruncatedAndEmptyMessages) {
  Messages truncated = messages_of(pki.user);
  for (std::string* message : {&truncated.over_text, &truncated.over_bytes, &truncated.attached}) {
    message->resize(message->size() / 2);
  }
  expect_refused(truncated, pki.user.serial, CryptError::asn1_bad_tag);
  expect_refused({}, pki.user.serial, CryptError::asn1_bad_tag);
}

}  // namespace
}  // namespace orvane::signing
