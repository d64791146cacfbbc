#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "provider/base64.h"
#include "provider/content_bytes.h"
#include "provider/crypt_error.h"
#include "runtime/code_page.h"
#include "tests/provider/openssl_cli.h"
#include "tests/provider/pki_fixture.h"
#include "tests/provider/signed_text.h"

namespace orvane::provider {
namespace {

namespace fs = std::filesystem;
using orvane::testing::as_string;
using orvane::testing::fails_with;
using orvane::testing::quoted;
using orvane::testing::read_file;
using orvane::testing::run_openssl;
using orvane::testing::utf16le_file;
using orvane::testing::write_file;

const Text content = u"Signed by both tools: \u20AC \u00E9 \u4E2D.";

// The text whose code units are the bytes of `file`, two each, as a byte-exact read gives them.
Text read_byte_exact(const fs::path& file) {
  const std::string bytes = read_file(file);
  return text_from_content_bytes(
      ByteView(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
}

// The text of `file` read through the code page, as a text reader gives it.
Text read_as_text(const fs::path& file) {
  const std::string bytes = read_file(file);
  return decode_text(windows_1252(),
                     ByteView(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
}

std::size_t occurrences(const std::string& text, const std::string& part) {
  std::size_t count = 0;
  for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

class OpensslInteropTest : public orvane::testing::PkiTest {
 protected:
  void SetUp() override { write_file(content_file, utf16le_file(content)); }

  // Signs the content file with the openssl command; `options` picks signers and form.
  fs::path openssl_sign(const std::string& name, const test_pki::TestCertificate& signer,
                        const std::string& options = "-nodetach") {
    const fs::path out = folder.path() / name;
    EXPECT_TRUE(run_openssl("cms -sign -binary -in " + quoted(content_file) + " -signer " +
                            quoted(signer.certificate) + " -inkey " + quoted(signer.private_key) +
                            " -certfile " + quoted(pki.intermediate.certificate) +
                            " -outform DER -out " + quoted(out) + " " + options));
    return out;
  }

  // Whether the openssl command verifies the DER message `der_file` against the stores' root.
  bool openssl_verifies(const fs::path& der_file, bool detached) {
    const fs::path out = folder.path() / "openssl-out.bin";
    return run_openssl("cms -verify -binary -inform DER -in " + quoted(der_file) +
                       (detached ? " -content " + quoted(content_file) : std::string()) +
                       " -CAfile " + quoted(pki.root.certificate) + " -out " + quoted(out)) &&
           read_file(out) == utf16le_file(content);
  }

  // Writes the DER of a message text and returns its file.
  fs::path der_file(const Text& message, const std::string& name) {
    const auto der = decode_base64_text(message);
    EXPECT_TRUE(der.has_value());
    write_file(folder.path() / name, der.value_or(Bytes{}));
    return folder.path() / name;
  }

  // What the openssl command prints of a message's structure.
  std::string structure_of(const fs::path& der) {
    const fs::path printed = folder.path() / "structure.txt";
    EXPECT_TRUE(run_openssl("cms -cmsout -print -noout -inform DER -in " + quoted(der) + " -out " +
                            quoted(printed)));
    return read_file(printed);
  }

  fs::path content_file = folder.path() / "content.bin";
};

TEST_F(OpensslInteropTest, OurMessagesVerifyWithTheOpensslCommand) {
  for (const auto* signer : {&pki.user, &pki.ec_user}) {
    SCOPED_TRACE(text_to_utf8(signer->serial));
    EXPECT_TRUE(openssl_verifies(der_file(sign(signer->serial, content, false), "a.der"), false));
    EXPECT_TRUE(openssl_verifies(der_file(sign(signer->serial, content, true), "d.der"), true));
  }
}

TEST_F(OpensslInteropTest, OurMessagesCarryExactlyThreeSignedAttributesAndTheChainWithoutRoot) {
  const std::string structure =
      structure_of(der_file(sign(pki.ec_user.serial, content, true), "m.der"));
  const auto signed_attributes =
      structure.substr(structure.find("signedAttrs:"),
                       structure.find("signatureAlgorithm:") - structure.find("signedAttrs:"));
  EXPECT_NE(signed_attributes.find("object: contentType"), std::string::npos);
  EXPECT_NE(signed_attributes.find("object: messageDigest"), std::string::npos);
  // 10:00 at UTC+02:00, in the UTCTime that a year before 2050 takes.
  EXPECT_NE(signed_attributes.find("object: signingTime"), std::string::npos);
  EXPECT_NE(signed_attributes.find("UTCTIME:Jun 15 08:00:00 2030 GMT"), std::string::npos);
  EXPECT_EQ(occurrences(signed_attributes, "object: "), 3u);
  EXPECT_NE(structure.find("d.issuerAndSerialNumber:"), std::string::npos);
  EXPECT_NE(structure.find("algorithm: sha256"), std::string::npos);
  // The signer's own certificate and the intermediate; the root is the verifier's own.
  EXPECT_EQ(occurrences(structure, "cert_info:"), 2u);
}

TEST_F(OpensslInteropTest, SigningTimeIsUtcTimeFrom1950To2049AndGeneralizedTimeOtherwise) {
  const auto signed_at = [&](const LocalDateTime& when) {
    const auto signer = signer_for(pki.ec_user.serial, when);
    const auto signed_data = factory->CreateSignedData();
    return structure_of(der_file(
        orvane::testing::sign_text(*signed_data, *signer, content, Attachment::detached), "t.der"));
  };
  // 00:30 on 1 January 2050 at UTC+01:00 is still 2049 in UTC.
  EXPECT_NE(signed_at({2050, 1, 1, 0, 30, 0, 60}).find("UTCTIME:Dec 31 23:30:00 2049 GMT"),
            std::string::npos);
  EXPECT_NE(signed_at({2050, 1, 1, 0, 30, 0, 0}).find("GENERALIZEDTIME:Jan  1 00:30:00 2050 GMT"),
            std::string::npos);
  EXPECT_NE(signed_at({1949, 12, 31, 23, 0, 0, 0}).find("GENERALIZEDTIME:Dec 31 23:00:00 1949 GMT"),
            std::string::npos);
  EXPECT_NE(signed_at({1950, 1, 1, 0, 0, 0, 0}).find("UTCTIME:Jan  1 00:00:00 1950 GMT"),
            std::string::npos);
}

TEST_F(OpensslInteropTest, OpensslMessagesVerifyInEveryFormThatCallersAndFilesProduce) {
  const fs::path der = openssl_sign("m.der", pki.user);
  const fs::path pem = folder.path() / "m.pem";
  ASSERT_TRUE(run_openssl("cms -cmsout -inform DER -in " + quoted(der) + " -outform PEM -out " +
                          quoted(pem)));
  const std::vector<std::pair<const char*, Text>> forms = {
      {"Base64 text with PEM armour", read_as_text(pem)},
      {"Base64 text read byte-exact", read_byte_exact(pem)},
      {"DER read byte-exact", read_byte_exact(der)},
      {"DER read through the code page", read_as_text(der)},
  };
  for (const auto& [form, message] : forms) {
    SCOPED_TRACE(form);
    const auto verified = verify(message);
    EXPECT_EQ(verified.content, content);
    EXPECT_EQ(verified->Signers(1)->GetCertificate()->SerialNumber(), pki.user.serial);
  }

  const fs::path detached = openssl_sign("d.der", pki.ec_user, "");
  EXPECT_NO_THROW(verify(read_byte_exact(detached), content));
}

TEST_F(OpensslInteropTest, DerOfAnOddLengthReadByteExactEndsInAZeroByteThatIsIgnored) {
  // One more content byte makes the message one byte longer, so one of the two is odd.
  const std::string bytes = utf16le_file(content);
  std::set<std::size_t> parities;
  for (const std::string& signed_bytes : {bytes, bytes + "!"}) {
    write_file(content_file, signed_bytes);
    const fs::path der = openssl_sign("m.der", pki.user);
    parities.insert(read_file(der).size() % 2);
    const Text carried = verify(read_byte_exact(der)).content;
    EXPECT_EQ(carried, read_byte_exact(content_file));
  }
  EXPECT_EQ(parities.size(), 2u);
}

TEST_F(OpensslInteropTest, ThePersonalStoreGivesSignersAndIssuersFoundNowhereElse) {
  // A message that carries no certificate at all.
  const fs::path bare = openssl_sign("bare.der", pki.ec_user, "-nodetach -nocerts");
  // The intermediate only in My/, as a PKCS #12 file's authorities are stored.
  fs::rename(pki.intermediate.certificate, folder.path() / "My" / "05-intermediate.pem");
  factory = default_factory(folder.path());
  const Text ours = sign(pki.ec_user.serial, content, false);
  EXPECT_EQ(verify(ours)->Signers(1)->GetCertificate()->SerialNumber(), pki.ec_user.serial);
  // The signer and its issuer both come from My/.
  EXPECT_EQ(verify(read_byte_exact(bare)).content, content);
}

TEST_F(OpensslInteropTest, OlderSignaturesKeepVerifying) {
  for (const auto* signer : {&pki.user, &pki.ec_user}) {
    SCOPED_TRACE(text_to_utf8(signer->serial));
    for (const char* options : {"-nodetach -md sha1", "-nodetach -md sha512", "-nodetach -noattr",
                                "-nodetach -noattr -md sha1"}) {
      SCOPED_TRACE(options);
      EXPECT_EQ(verify(read_byte_exact(openssl_sign("old.der", *signer, options))).content,
                content);
    }
  }
}

TEST_F(OpensslInteropTest, OddContentComesBackWithAZeroHighByte) {
  write_file(content_file, std::string("abc"));
  EXPECT_EQ(verify(read_byte_exact(openssl_sign("odd.der", pki.ec_user))).content,
            (Text{0x6261, 0x0063}));
}

TEST_F(OpensslInteropTest, FaultsGiveTheCodesWindowsReports) {
  const Text detached = read_byte_exact(openssl_sign("d.der", pki.ec_user, ""));
  EXPECT_TRUE(fails_with(CryptError::hash_value, [&] { verify(detached, content + u"!"); }));
  // Without signed attributes the signature itself covers the content.
  const Text bare = read_byte_exact(openssl_sign("n.der", pki.user, "-noattr"));
  EXPECT_TRUE(fails_with(CryptError::bad_signature, [&] { verify(bare, content + u"!"); }));

  std::string tampered = read_file(openssl_sign("m.der", pki.user));
  tampered.back() ^= 0x01;  // the last octet of the signature
  write_file(folder.path() / "t.der", tampered);
  EXPECT_TRUE(fails_with(CryptError::bad_signature,
                         [&] { verify(read_byte_exact(folder.path() / "t.der")); }));

  EXPECT_TRUE(fails_with(CryptError::expired,
                         [&] { verify(read_byte_exact(openssl_sign("e.der", pki.expired))); }));
  // A message that carries its root still fails when nothing trusts that root.
  const fs::path untrusted = openssl_sign(
      "u.der", pki.untrusted_user, "-nodetach -certfile " + quoted(pki.untrusted_root.certificate));
  EXPECT_TRUE(fails_with(CryptError::untrusted_root, [&] { verify(read_byte_exact(untrusted)); }));
}

TEST_F(OpensslInteropTest, EverySignerMustBeValid) {
  const std::string two_signers = "-nodetach -signer " + quoted(pki.ec_user.certificate) +
                                  " -inkey " + quoted(pki.ec_user.private_key);
  const fs::path der = openssl_sign("two.der", pki.user, two_signers);
  const auto verified = verify(read_byte_exact(der));
  // Signers come in the message's order, which DER sorts.
  std::vector<Text> signers = {verified->Signers(1)->GetCertificate()->SerialNumber(),
                               verified->Signers(2)->GetCertificate()->SerialNumber()};
  std::sort(signers.begin(), signers.end());
  EXPECT_EQ(signers, (std::vector<Text>{pki.ec_user.serial, pki.user.serial}));

  // The second signature is the message's last field: forged, it fails the whole message.
  std::string forged = read_file(der);
  forged.back() ^= 0x01;
  write_file(folder.path() / "forged.der", forged);
  EXPECT_TRUE(fails_with(CryptError::bad_signature,
                         [&] { verify(read_byte_exact(folder.path() / "forged.der")); }));
}

TEST_F(OpensslInteropTest, MessagesWithoutSignersOrSignedDataAreInvalid) {
  const fs::path certificates_only = folder.path() / "certs.der";
  ASSERT_TRUE(run_openssl("crl2pkcs7 -nocrl -certfile " + quoted(pki.user.certificate) +
                          " -outform DER -out " + quoted(certificates_only)));
  EXPECT_TRUE(
      fails_with(CryptError::no_signer, [&] { verify(read_byte_exact(certificates_only)); }));

  const fs::path data = folder.path() / "data.der";
  ASSERT_TRUE(run_openssl("cms -data_create -binary -in " + quoted(content_file) +
                          " -outform DER -out " + quoted(data)));
  EXPECT_TRUE(fails_with(CryptError::invalid_message_type, [&] { verify(read_byte_exact(data)); }));
}

}  // namespace
}  // namespace orvane::provider
