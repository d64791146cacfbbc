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
    // Certificates made by the test begin after the fixture set its clock.
    test.clock->set(native_clock()->now());
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
    const Text signing_error =
        answers::signing_error + provider::crypt_error_text(attached_failure);
    EXPECT_EQ(answers(messages, serial), (std::vector<Text>{answers::not_valid, answers::not_valid,
                                                            signing_error, signing_error}));
    EXPECT_EQ(work_files(),
              (std::vector<std::string>{"message_Signature.txt", "report.pdf", "signature.der"}));
  }

  // What the openssl command is to make a certificate of.
  struct Made {
    std::string common_name;
    std::string serial_hex;
    // Lines of its extensions section.
    std::string extensions = "basicConstraints=critical,CA:FALSE";
    // Self-signed when null.
    const test_pki::TestCertificate* issuer = nullptr;
    std::string key = "-algorithm EC -pkeyopt ec_paramgen_curve:P-256";
    std::string digest = "sha256";
  };

  // A certificate and its key made by the openssl command, in a folder of the test's own.
  test_pki::TestCertificate made(const Made& wanted) {
    const fs::path folder = test.folder.path() / "made" / wanted.serial_hex;
    fs::create_directories(folder);
    testing::write_file(folder / "extensions.cnf", "[x]\n" + wanted.extensions + "\n");
    EXPECT_TRUE(run_openssl("genpkey " + wanted.key + " -out " + quoted(folder / "key.pem")));
    EXPECT_TRUE(run_openssl("req -new -key " + quoted(folder / "key.pem") +
                            " -subj \"/O=Orvane Tests/CN=" + wanted.common_name + "\" -out " +
                            quoted(folder / "request.pem")));
    const std::string signer = wanted.issuer ? " -CA " + quoted(wanted.issuer->certificate) +
                                                   " -CAkey " + quoted(wanted.issuer->private_key)
                                             : " -signkey " + quoted(folder / "key.pem");
    EXPECT_TRUE(run_openssl("x509 -req -in " + quoted(folder / "request.pem") + signer +
                            " -set_serial 0x" + wanted.serial_hex + " -days 30 -" + wanted.digest +
                            " -extfile " + quoted(folder / "extensions.cnf") +
                            " -extensions x -out " + quoted(folder / "certificate.pem")));
    return {text_from_ascii(wanted.serial_hex), folder / "certificate.pem", folder / "key.pem", 0,
            0};
  }

  // Adds `root` to the store's trusted roots.
  void trust(const test_pki::TestCertificate& root) {
    testing::write_file(pki.store_root / "Root" / (text_to_utf8(root.serial) + ".pem"),
                        testing::read_file(root.certificate));
  }

  // The option that makes the messages carry `chain` instead of the test's intermediate.
  std::string carrying(const std::vector<test_pki::TestCertificate>& chain) {
    const fs::path file = test.folder.path() / "chain.pem";
    std::string pems;
    for (const auto& certificate : chain) pems += testing::read_file(certificate.certificate);
    testing::write_file(file, pems);
    return "-certfile " + quoted(file);
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

constexpr const char* authority =
    "basicConstraints=critical,CA:TRUE\nkeyUsage=critical,keyCertSign";
constexpr const char* rsa_512 = "-algorithm RSA -pkeyopt rsa_keygen_bits:512";
constexpr const char* rsa_1024 = "-algorithm RSA -pkeyopt rsa_keygen_bits:1024";

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
  const Text& login = answers::not_the_login_certificate;
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
  // The failure says what is wrong: a message cut short, or none at all.
  expect_refused(truncated, pki.user.serial, CryptError::asn1_end_of_data);
  expect_refused({}, pki.user.serial, CryptError::asn1_bad_tag);
}

// Signers issued by one RSA root (so that it can sign a certificate with MD5), judged by the
// signer policy.
class SignerPolicy : public Forgery {
 protected:
  void SetUp() override {
    Forgery::SetUp();
    root_ = made({.common_name = "Orvane Policy Root",
                  .serial_hex = "5E00",
                  .extensions = authority,
                  .key = "-algorithm RSA -pkeyopt rsa_keygen_bits:2048"});
    trust(root_);
  }
  test_pki::TestCertificate signer(const char* serial, const std::string& extensions,
                                   const std::string& key = Made().key,
                                   const std::string& digest = "sha256") {
    return made({.common_name = std::string("Orvane Policy Signer ") + serial,
                 .serial_hex = serial,
                 .extensions = "basicConstraints=critical,CA:FALSE\n" + extensions,
                 .issuer = &root_,
                 .key = key,
                 .digest = digest});
  }

  struct Case {
    const char* what;
    test_pki::TestCertificate signer;
    std::string options;
  };
  void expect_refused_all(const std::vector<Case>& cases, CryptError refusal) {
    for (const Case& policy_case : cases) {
      SCOPED_TRACE(policy_case.what);
      expect_refused(messages_of(policy_case.signer, policy_case.options),
                     policy_case.signer.serial, refusal);
    }
  }

 private:
  test_pki::TestCertificate root_;
};

TEST_F(SignerPolicy, RefusesCertificatesNotForSigningAndWeakAlgorithms) {
  expect_refused_all(
      {{"key encipherment only", signer("5E01", "keyUsage=critical,keyEncipherment"), ""},
       {"TLS server only", signer("5E02", "extendedKeyUsage=serverAuth"), ""},
       {"OCSP signing, time stamping and TLS server",
        signer("5E0A", "extendedKeyUsage=OCSPSigning,timeStamping,serverAuth"), ""}},
      CryptError::wrong_usage);
  expect_refused_all(
      {{"RSA 512", signer("5E03", "keyUsage=critical,digitalSignature", rsa_512), ""},
       {"certificate signed with MD5",
        signer("5E04", "keyUsage=critical,nonRepudiation", Made().key, "md5"), ""}},
      CryptError::certificate_signature);
  expect_refused_all({{"MD5 message digest",
                       signer("5E05", "keyUsage=critical,digitalSignature", rsa_1024), "-md md5"}},
                     CryptError::bad_algorithm);
}

TEST_F(SignerPolicy, AcceptsWhatStoredSignaturesAndCompanyPkisHave) {
  const auto rsa_1024_signer = signer("5E05", "keyUsage=critical,digitalSignature", rsa_1024);
  // A root without key usage, used as its own signer: stored signatures have such signers.
  const auto self_signer = made({.common_name = "Orvane Self Signer",
                                 .serial_hex = "5E09",
                                 .extensions = "basicConstraints=critical,CA:TRUE"});
  trust(self_signer);
  const std::vector<Case> cases = {
      {"SHA-1 message digest", rsa_1024_signer, "-md sha1"},
      {"RSA 1024", rsa_1024_signer, ""},
      {"certificate signed with SHA-1", signer("5E06", "", Made().key, "sha1"), ""},
      {"non-repudiation only", signer("5E07", "keyUsage=critical,nonRepudiation"), ""},
      {"TLS server and document signing",
       signer("5E08", "extendedKeyUsage=serverAuth,1.3.6.1.4.1.311.10.3.12"), ""},
      {"an organisation's own purpose only",
       signer("5E0B", "extendedKeyUsage=1.3.6.1.4.1.55581.7.1"), ""},
      {"a trusted root as its own signer", self_signer, ""},
  };
  for (const Case& policy_case : cases) {
    SCOPED_TRACE(policy_case.what);
    EXPECT_EQ(
        answers(messages_of(policy_case.signer, policy_case.options), policy_case.signer.serial),
        (std::vector<Text>{u"success", u"success", u"success", u"success"}));
  }
}

TEST_F(Forgery, MessagesThatRetypeTheirContentAreRefused) {
  // An honest signer's messages that say their content is another type than it is: the
  // signature does not cover the message's own type field.
  Messages retyped = messages_of(pki.user);
  const std::string data_type("\x06\x09\x2A\x86\x48\x86\xF7\x0D\x01\x07\x01", 11);
  for (std::string* message : {&retyped.over_text, &retyped.over_bytes, &retyped.attached}) {
    const auto at = message->find(data_type);
    ASSERT_NE(at, std::string::npos);
    (*message)[at + data_type.size() - 1] = 0x06;  // encrypted data
  }
  expect_refused(retyped, pki.user.serial, CryptError::invalid_message_type);
}

TEST_F(Forgery, ChainsThatCertificatePoliciesOrNameConstraintsRefuse) {
  const auto root = made(
      {.common_name = "Orvane Constraints Root", .serial_hex = "5F00", .extensions = authority});
  trust(root);
  const auto authority_under = [&](const char* serial, const test_pki::TestCertificate& issuer,
                                   const std::string& extensions) {
    return made({.common_name = std::string("Orvane Constrained CA ") + serial,
                 .serial_hex = serial,
                 .extensions = std::string(authority) + "\n" + extensions,
                 .issuer = &issuer});
  };
  const auto signer_under = [&](const char* serial, const test_pki::TestCertificate& issuer,
                                const std::string& extensions) {
    return made({.common_name = std::string("Orvane Constrained Signer ") + serial,
                 .serial_hex = serial,
                 .extensions = "keyUsage=critical,digitalSignature\n" + extensions,
                 .issuer = &issuer});
  };
  const std::string explicit_policy = "policyConstraints=critical,requireExplicitPolicy:0";
  const auto requiring =
      authority_under("5F01", root, "certificatePolicies=1.2.3.1\n" + explicit_policy);
  const auto inhibiting_any = authority_under(
      "5F02", root,
      "certificatePolicies=2.5.29.32.0\n" + explicit_policy + "\ninhibitAnyPolicy=critical,0");
  const auto inhibiting_mapping = authority_under(
      "5F03", root, "certificatePolicies=1.2.3.1\n" + explicit_policy + ",inhibitPolicyMapping:0");
  const auto mapping =
      authority_under("5F04", inhibiting_mapping,
                      "certificatePolicies=1.2.3.1\npolicyMappings=critical,1.2.3.1:1.2.3.2");
  const auto constraining_names =
      authority_under("5F05", root, "nameConstraints=critical,permitted;email:good.test");

  const auto expect_refused_chain = [&](const test_pki::TestCertificate& signer,
                                        const std::vector<test_pki::TestCertificate>& authorities,
                                        CryptError refusal) {
    expect_refused(messages_of(signer, carrying(authorities)), signer.serial, refusal);
  };
  // A policy is required, and the signer names none.
  expect_refused_chain(signer_under("5F11", requiring, ""), {requiring},
                       CryptError::invalid_policy);
  // Any policy may no longer stand for one.
  expect_refused_chain(signer_under("5F12", inhibiting_any, "certificatePolicies=2.5.29.32.0"),
                       {inhibiting_any}, CryptError::invalid_policy);
  // The signer's policy is the required one only through a mapping, which is inhibited.
  expect_refused_chain(signer_under("5F13", mapping, "certificatePolicies=1.2.3.2"),
                       {inhibiting_mapping, mapping}, CryptError::invalid_policy);
  expect_refused_chain(
      signer_under("5F14", constraining_names, "subjectAltName=email:signer@evil.test"),
      {constraining_names}, CryptError::invalid_name);

  const auto holding = signer_under("5F15", requiring, "certificatePolicies=1.2.3.1");
  EXPECT_EQ(answers(messages_of(holding, carrying({requiring})), holding.serial),
            (std::vector<Text>{u"success", u"success", u"success", u"success"}));
}

}  // namespace
}  // namespace orvane::signing
