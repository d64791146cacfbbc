#ifndef _WIN32
#include <sys/stat.h>

#include "tests/provider/der_edit.h"
#endif

#include "provider/base64.h"
#include "provider/crypt_error.h"
#include "runtime/code_page.h"
#include "tests/signing/sign_fixture.h"
#include "tests/support/faulty_file_system.h"

namespace orvane::signing {
namespace {

namespace fs = std::filesystem;

class Verify : public SignTest {
 protected:
  Text detached(const std::string& file, const std::string& signature, const Text& serial) {
    Variant signature_name = text_path(signature);
    const Text answer = sign.Verify(text_path(file), signature_name, vb_true, serial);
    EXPECT_EQ(signature_name, Variant(text_path(signature)));
    return answer;
  }
  // Verifies an attached message; the restore name as the call handed it back.
  std::pair<Text, Variant> attached(const std::string& message, const std::string& restore_as,
                                    const Text& serial, VariantBool mode = vb_false) {
    Variant restore = text_path(restore_as);
    const Text answer = sign.Verify(text_path(message), restore, mode, serial);
    return {answer, restore};
  }
};

TEST_F(Verify, ADetachedSignatureProvesOnlyTheLoginCertificate) {
  write("report.pdf", binary_sample());
  ASSERT_EQ(sign_file("report.pdf", pki.user.serial, true).first, u"success");
  EXPECT_EQ(detached("report.pdf", "report_Signature.txt", pki.user.serial), u"success");
  Text lower = pki.user.serial;
  for (auto& c : lower) c = static_cast<char16_t>(std::tolower(c));
  ASSERT_NE(lower, pki.user.serial);
  for (const Text& other : {Text(), lower, other_signer().serial, pki.user.serial + u" "}) {
    EXPECT_EQ(detached("report.pdf", "report_Signature.txt", other),
              answers::not_the_login_certificate);
  }
  Variant signature = text_path("report_Signature.txt");
  EXPECT_EQ(sign.Verify(text_path("report.pdf"), signature, vb_true),
            answers::not_the_login_certificate);
}

TEST_F(Verify, AnAttachedMessageRestoresTheSignedFileByteForByteWithOneDot) {
  write("report.pdf", binary_sample());
  ASSERT_EQ(sign_file("report.pdf", other_signer().serial, false).first, u"success");
  fs::rename(path("report.pdf"), path("original.pdf"));
  const auto [answer, restored] =
      attached("report_Signature.txt", "report.xyz", other_signer().serial);
  EXPECT_EQ(answer, u"success");
  EXPECT_EQ(restored, Variant(text_path("report.pdf")));
  EXPECT_EQ(testing::read_file(path("report.pdf")), binary_sample());
}

TEST_F(Verify, LongExtensionsAndPathsWithoutADotRestore) {
  // A text that itself ends like an extension and its length comes back whole.
  for (const auto& [file, restore_as, expected] :
       {std::tuple{"data.properties", "out.xyz", "out.properties"},
        std::tuple{"readme", "restored.txt", "restored"}}) {
    write(file, "app.revision=1");
    ASSERT_EQ(sign_file(file, pki.user.serial, false).first, u"success");
    const std::string message = fs::path(file).stem().string() + "_Signature.txt";
    const auto [answer, restored] = attached(message, restore_as, pki.user.serial);
    EXPECT_EQ(answer, u"success");
    EXPECT_EQ(restored, Variant(text_path(expected)));
    EXPECT_EQ(testing::read_file(path(expected)), "app.revision=1");
  }
}

// File modes are POSIX's; on Windows the files inherit their folder's access control list.
#ifndef _WIN32
TEST_F(Verify, SignedAndRestoredContentIsNoMoreReadableThanTheFileItCameFrom) {
  const mode_t earlier_mask = ::umask(022);
  write("private.pdf", "secret");
  fs::permissions(path("private.pdf"), fs::perms::owner_read | fs::perms::owner_write);
  const auto others = fs::perms::group_all | fs::perms::others_all;
  ASSERT_EQ(sign_file("private.pdf", pki.user.serial, false).first, u"success");
  EXPECT_EQ(fs::status(path("private_Signature.txt")).permissions() & others, fs::perms::none);
  EXPECT_EQ(attached("private_Signature.txt", "copy.xyz", pki.user.serial).first, u"success");
  EXPECT_EQ(fs::status(path("copy.pdf")).permissions() & others, fs::perms::none);
  ::umask(earlier_mask);
}
#endif

TEST_F(Verify, OnlyTrueSelectsDetached) {
  write("report.pdf", "text");
  ASSERT_EQ(sign_file("report.pdf", pki.user.serial, false).first, u"success");
  EXPECT_EQ(attached("report_Signature.txt", "copy.xyz", pki.user.serial, 1).first, u"success");
  EXPECT_EQ(testing::read_file(path("copy.pdf")), "text");
}

TEST_F(Verify, AttachedFailuresAfterAValidSignatureWriteNothing) {
  write("report.pdf", "text");
  ASSERT_EQ(sign_file("report.pdf", pki.user.serial, false).first, u"success");
  // Too short a restore name, and a serial of another certificate.
  Variant empty = Text();
  EXPECT_EQ(sign.Verify(text_path("report_Signature.txt"), empty, vb_false, pki.user.serial),
            answers::original_not_found);
  Variant three = Text(u"abc");
  EXPECT_EQ(sign.Verify(text_path("report_Signature.txt"), three, vb_false, pki.user.serial),
            answers::original_not_found);
  EXPECT_EQ(three, Variant(u"abc"));
  // Four characters would leave only the folder: 'work/abcd' must not restore to 'work/.pdf'.
  Variant four = text_path("abcd");
  EXPECT_EQ(sign.Verify(text_path("report_Signature.txt"), four, vb_false, pki.user.serial),
            answers::original_not_found);
  Variant restore = text_path("copy.xyz");
  EXPECT_EQ(
      sign.Verify(text_path("report_Signature.txt"), restore, vb_false, other_signer().serial),
      answers::not_the_login_certificate);
  EXPECT_EQ(restore, Variant(text_path("copy.xyz")));
  EXPECT_EQ(work_files(), (std::vector<std::string>{"report.pdf", "report_Signature.txt"}));

  // A message signed in content mode carries no trailer.
  Variant content = Text(u"no trailer");
  Text extension;
  ASSERT_EQ(sign.Signfile(content, pki.user.serial, vb_false, extension, vb_true), u"success");
  write("content.txt", text_to_utf8(*content.text_if()));
  EXPECT_EQ(attached("content.txt", "copy.xyz", pki.user.serial).first,
            answers::original_not_found);
  EXPECT_FALSE(fs::exists(path("copy.pdf")));
}

TEST_F(Verify, MissingFilesAreNamedByTheStageThatMissedThem) {
  write("report.pdf", "text");
  EXPECT_EQ(detached("missing.pdf", "report.pdf", pki.user.serial), answers::original_not_found);
  EXPECT_EQ(detached("report.pdf", "missing.txt", pki.user.serial),
            answers::signature_not_found + text_path("report.pdf"));
  EXPECT_EQ(attached("missing.txt", "copy.xyz", pki.user.serial).first,
            answers::original_not_found);
}

TEST_F(Verify, ChangedTextAndForgedMessagesFailInTheirStagesWords) {
  write("report.pdf", "text");
  ASSERT_EQ(sign_file("report.pdf", pki.user.serial, true).first, u"success");
  write("report.pdf", "text.");
  EXPECT_EQ(detached("report.pdf", "report_Signature.txt", pki.user.serial), answers::not_valid);
  // What the `orvane` command's hints act on: the outcome and the failure behind the text.
  EXPECT_EQ(sign.last_answer().outcome, Outcome::not_valid);
  EXPECT_EQ(sign.last_answer().failure_number,
            provider::crypt_error_number(provider::CryptError::hash_value));

  write("a.pdf", "text");
  ASSERT_EQ(sign_file("a.pdf", pki.user.serial, false).first, u"success");
  const auto der =
      provider::decode_base64_text(text_from_utf8(testing::read_file(path("a_Signature.txt"))))
          .value();
  // A bit of the signature value, which ends the message; on Linux also one in the middle,
  // inside a carried certificate. The CryptoAPI back end's chain engine takes the intermediate
  // from the user's stores, where the carried copy is not needed, so that fault changes nothing
  // there.
  std::vector<std::size_t> flipped{der.size() - 1};
#ifndef _WIN32
  flipped.push_back(der.size() / 2);
#endif
  for (const std::size_t at : flipped) {
    SCOPED_TRACE(at);
    auto forged = der;
    forged[at] ^= 0x01;
    write("forged.der", std::string(forged.begin(), forged.end()));
    const Text answer = attached("forged.der", "copy.xyz", pki.user.serial).first;
    EXPECT_EQ(answer.substr(0, 15), answers::signing_error);
    EXPECT_GT(answer.size(), 15u);
    EXPECT_FALSE(fs::exists(path("copy.pdf")));
  }
}

TEST_F(Verify, ARestoredFileThatCannotBeWrittenLeavesNothingPartial) {
  write("report.pdf", binary_sample());
  ASSERT_EQ(sign_file("report.pdf", pki.user.serial, false).first, u"success");
  auto files = std::make_shared<testing::FaultyFileSystem>(test.platform.files);
  Platform faulty = test.platform;
  faulty.files = files;
  Sign faulty_sign(faulty, provider::default_factory(pki.store_root));
  write("copy.pdf", "earlier copy");
  files->fail_writes(RuntimeError::disk_full);
  Variant restore = text_path("copy.xyz");
  EXPECT_EQ(
      faulty_sign.Verify(text_path("report_Signature.txt"), restore, vb_false, pki.user.serial),
      answers::original_not_found);
  EXPECT_EQ(restore, Variant(text_path("copy.pdf")));
  EXPECT_EQ(testing::read_file(path("copy.pdf")), "earlier copy");
  EXPECT_EQ(work_files(),
            (std::vector<std::string>{"copy.pdf", "report.pdf", "report_Signature.txt"}));

  Variant into_missing_folder = text_path("missing/copy.xyz");
  EXPECT_EQ(sign.Verify(text_path("report_Signature.txt"), into_missing_folder, vb_false,
                        pki.user.serial),
            answers::original_not_found);
}

TEST_F(Verify, ReplacesAnEarlierFileOfItsNameButNeverWritesThroughAnAlias) {
  write("report.pdf", binary_sample());
  ASSERT_EQ(sign_file("report.pdf", pki.user.serial, false).first, u"success");
  write("copy.pdf", "earlier copy");
  EXPECT_EQ(attached("report_Signature.txt", "copy.xyz", pki.user.serial).first, u"success");
  EXPECT_EQ(testing::read_file(path("copy.pdf")), binary_sample());

  // 'QUARTE~1.PDF' opens 'Quarterly board report.pdf' on Windows: a name the signer never made.
  auto files = std::make_shared<testing::FaultyFileSystem>(test.platform.files);
  Platform faulty = test.platform;
  faulty.files = files;
  Sign faulty_sign(faulty, provider::default_factory(pki.store_root));
  write("copy.pdf", "the victim's");
  files->make_alias(text_path("copy.pdf"));
  Variant restore = text_path("copy.xyz");
  EXPECT_EQ(
      faulty_sign.Verify(text_path("report_Signature.txt"), restore, vb_false, pki.user.serial),
      answers::original_not_found);
  files->make_alias(text_path("report_Signature.pdf"));
  write("report_Signature.pdf", binary_sample());
  EXPECT_EQ(faulty_sign.VerifyCodeWithFile(text_path("report_Signature.txt"), Variant(), vb_false),
            answers::original_not_found);
  EXPECT_EQ(testing::read_file(path("copy.pdf")), "the victim's");
  EXPECT_EQ(work_files(),
            (std::vector<std::string>{"copy.pdf", "report.pdf", "report_Signature.pdf",
                                      "report_Signature.txt"}));
}

TEST_F(Verify, NeverRestoresOverTheMessageItRead) {
  write("x.txt", "text");
  ASSERT_EQ(sign_file("x.txt", pki.user.serial, false).first, u"success");
  const std::string message = testing::read_file(path("x_Signature.txt"));
  const auto [answer, restored] = attached("x_Signature.txt", "x_Signature.abc", pki.user.serial);
  EXPECT_EQ(answer, answers::original_not_found);
  EXPECT_EQ(testing::read_file(path("x_Signature.txt")), message);
}

// Messages that the openssl command made: it does not run under Wine, where the CryptoAPI back
// end's own tests verify messages that openssl made at build time.
#ifndef _WIN32
// The text of a file as a text reader takes it, as UTF-16LE: what a detached file signature
// covers.
std::string signed_bytes_of(const std::string& file) {
  return utf16le(decode_text(
      windows_1252(), ByteView(reinterpret_cast<const std::uint8_t*>(file.data()), file.size())));
}

TEST_F(Verify, MessagesOfTheOpensslCommandVerifyInEveryForm) {
  const std::string file = binary_sample();
  write("report.pdf", file);
  for (const std::string form : {"-outform DER", "-outform PEM"}) {
    SCOPED_TRACE(form);
    write("report.sig", openssl_sign(signed_bytes_of(file), pki.user, form));
    EXPECT_EQ(detached("report.pdf", "report.sig", pki.user.serial), u"success");

    const Text envelope =
        decode_text(windows_1252(),
                    ByteView(reinterpret_cast<const std::uint8_t*>(file.data()), file.size())) +
        u".pdf4";
    write("message", openssl_sign(utf16le(envelope), pki.ec_user, form + " -nodetach"));
    const auto [answer, restored] = attached("message", "copy.xyz", pki.ec_user.serial);
    EXPECT_EQ(answer, u"success");
    EXPECT_EQ(testing::read_file(path("copy.pdf")), file);
  }
}

TEST_F(Verify, ADerMessageWhoseLastByteIsASpaceVerifiesReadByteExact) {
  using testing::DerElement;
  // The signer's unsigned attributes, which no signature covers, end the message in spaces.
  const std::string signed_der =
      openssl_sign(utf16le(u"text.pdf4"), pki.user, "-outform DER -nodetach");
  std::string message;
  for (std::size_t spaces = 1; message.size() % 2 == 0; ++spaces) {
    auto fields = testing::signed_data_fields(
        ByteView(reinterpret_cast<const std::uint8_t*>(signed_der.data()), signed_der.size()));
    auto signers = testing::der_elements(fields.back().content);
    auto signer = testing::der_elements(signers.front().content);
    const Bytes value = testing::der_encode(0x04, Bytes(spaces, 0x20));
    const Bytes attribute = testing::der_encode(
        0x30, testing::der_concatenate({{0x06, {0x2A, 0x03, 0x04}}, {0x31, value}}));
    signer.push_back({0xA1, attribute});
    signers.front().content = testing::der_concatenate(signer);
    fields.back().content = testing::der_concatenate(signers);
    const Bytes edited = testing::with_signed_data_fields(
        ByteView(reinterpret_cast<const std::uint8_t*>(signed_der.data()), signed_der.size()),
        fields);
    message.assign(edited.begin(), edited.end());
  }
  ASSERT_EQ(message.back(), ' ');
  write("message", message);
  EXPECT_EQ(attached("message", "copy.xyz", pki.user.serial).first, u"success");
  EXPECT_EQ(testing::read_file(path("copy.pdf")), "text");
  EXPECT_EQ(sign.VerifyCodeWithFile(text_path("message"), Variant(), vb_false), u"success");
}
#endif

}  // namespace
}  // namespace orvane::signing
