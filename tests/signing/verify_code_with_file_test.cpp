#include <cstring>

#include "tests/signing/recording_provider.h"
#include "tests/signing/sign_fixture.h"

namespace orvane::signing {
namespace {

namespace fs = std::filesystem;

// What a file of `bytes` is checked as: code units whose bytes, low byte first, are `bytes` (one
// zero byte added to an odd count), without leading and trailing space code units.
Text code_units_of(std::string bytes) {
  if (bytes.size() % 2 != 0) bytes.push_back('\0');
  Text text(bytes.size() / 2, u'\0');
  std::memcpy(text.data(), bytes.data(), bytes.size());
  return Text(trim_spaces(text));
}

class VerifyCodeWithFile : public SignTest {
 protected:
  // A detached signature made in content mode over `content`.
  Text signature_over(const Text& content, const Text& serial) {
    Variant input = content;
    Text extension;
    EXPECT_EQ(sign.Signfile(input, serial, vb_true, extension, vb_true), u"success");
    return input.text_if() ? *input.text_if() : Text();
  }
};

TEST_F(VerifyCodeWithFile, ChecksTheFilesBytesWhoeverSignedThem) {
  for (const std::string& bytes : {std::string("ABCD"), std::string("ABC"), binary_sample()}) {
    write("code.bin", bytes);
    for (const Text& serial : {pki.user.serial, other_signer().serial}) {
      EXPECT_EQ(sign.VerifyCodeWithFile(text_path("code.bin"),
                                        signature_over(code_units_of(bytes), serial), vb_true),
                u"success");
    }
  }
}

TEST_F(VerifyCodeWithFile, DetachedFailuresByStage) {
  write("code.bin", "ABCD");
  const Text path = text_path("code.bin");
  EXPECT_EQ(sign.VerifyCodeWithFile(path, Text(), vb_true), answers::not_valid);
  EXPECT_EQ(sign.VerifyCodeWithFile(path, signature_over(u"other", pki.user.serial), vb_true),
            answers::not_valid);
  EXPECT_EQ(sign.VerifyCodeWithFile(path, Variant::null(), vb_true),
            answers::signature_not_found + path);
  EXPECT_EQ(sign.VerifyCodeWithFile(text_path("missing.bin"), Text(u"x"), vb_true),
            answers::original_not_found);
  EXPECT_EQ(sign.VerifyCodeWithFile(text_path("missing.bin"), Text(u"x"), vb_false),
            answers::original_not_found);

  // The signed-data object is made once the file is read.
  const auto provider =
      std::make_shared<testing::RecordingFactory>(provider::default_factory(pki.store_root));
  provider->fail("CreateSignedData", Failure(RuntimeError::cannot_create_object));
  Sign without_signed_data(test.platform, provider);
  EXPECT_EQ(without_signed_data.VerifyCodeWithFile(path, Text(u"x"), vb_true),
            answers::signature_not_found + path);
}

TEST_F(VerifyCodeWithFile, AnAttachedMessageRestoresBesideItselfUnderItsOwnName) {
  write("report.pdf", binary_sample());
  ASSERT_EQ(sign_file("report.pdf", pki.user.serial, false).first, u"success");
  // Any value but True means attached; the signature argument is not used.
  EXPECT_EQ(sign.VerifyCodeWithFile(text_path("report_Signature.txt"), Variant::null(), 1),
            u"success");
  EXPECT_EQ(testing::read_file(path("report_Signature.pdf")), binary_sample());
}

TEST_F(VerifyCodeWithFile, AnAttachedMessageNeverReplacesAFileOfOtherContent) {
  // Larger than a block of the comparison, and differing from the restored bytes only in the
  // last one of them.
  std::string content(200 * 1024 + 3, 'x');
  write("report.pdf", content);
  ASSERT_EQ(sign_file("report.pdf", pki.user.serial, false).first, u"success");
  const Text message = text_path("report_Signature.txt");
  // Restoring the same message again is no failure: the file holds what it would be given.
  EXPECT_EQ(sign.VerifyCodeWithFile(message, Variant(), vb_false), u"success");
  EXPECT_EQ(sign.VerifyCodeWithFile(message, Variant(), vb_false), u"success");
  EXPECT_EQ(testing::read_file(path("report_Signature.pdf")), content);

  // The caller neither named nor learns this name: a file there is someone's.
  for (const std::string& other : {content.substr(0, content.size() - 1) + "y",
                                   content.substr(0, content.size() - 1), content + "x"}) {
    write("report_Signature.pdf", other);
    EXPECT_EQ(sign.VerifyCodeWithFile(message, Variant(), vb_false), answers::original_not_found);
    EXPECT_EQ(testing::read_file(path("report_Signature.pdf")), other);
  }
  EXPECT_EQ(work_files(), (std::vector<std::string>{"report.pdf", "report_Signature.pdf",
                                                    "report_Signature.txt"}));
}

TEST_F(VerifyCodeWithFile, TheSignersExtensionNeverTakesTheRestoredFileOutOfTheFolder) {
  // '~/m.p7' carrying '.bashrc' would restore to '~/.bashrc'.
  write("x.bashrc", "planted");
  ASSERT_EQ(sign_file("x.bashrc", pki.user.serial, false).first, u"success");
  fs::rename(path("x_Signature.txt"), path("m.p7"));
  EXPECT_EQ(sign.VerifyCodeWithFile(text_path("m.p7"), Variant(), vb_false),
            answers::original_not_found);
  EXPECT_FALSE(fs::exists(path(".bashrc")));

  // A dot in a folder name ('x.ssh/rc') is no extension: 'm.p7x' restores to 'm', not 'm.ssh/rc'.
  fs::create_directories(path("x.ssh"));
  fs::create_directories(path("m.ssh"));
  write("x.ssh/rc", "planted");
  ASSERT_EQ(sign_file("x.ssh/rc", pki.user.serial, false).first, u"success");
  fs::rename(path("x_Signature.txt"), path("m.p7x"));
  EXPECT_EQ(sign.VerifyCodeWithFile(text_path("m.p7x"), Variant(), vb_false), u"success");
  EXPECT_EQ(testing::read_file(path("m")), "planted");
  EXPECT_FALSE(fs::exists(path("m.ssh/rc")));
}

TEST_F(VerifyCodeWithFile, AttachedFailuresReportTheProviderOrTheFile) {
  write("report.pdf", "text");
  ASSERT_EQ(sign_file("report.pdf", pki.user.serial, true).first, u"success");
  // A detached signature offered as attached carries no content to restore.
  const Text answer =
      sign.VerifyCodeWithFile(text_path("report_Signature.txt"), Variant(), vb_false);
  EXPECT_EQ(answer.substr(0, 15), answers::signing_error);
  EXPECT_GT(answer.size(), 15u);

  write("garbage.txt", "not a message at all");
  EXPECT_EQ(sign.VerifyCodeWithFile(text_path("garbage.txt"), Variant(), vb_false),
            u"Signing Error: ASN1 bad tag value met.");
  EXPECT_EQ(work_files(),
            (std::vector<std::string>{"garbage.txt", "report.pdf", "report_Signature.txt"}));
}

// Signatures that the openssl command made: it does not run under Wine.
#ifndef _WIN32
TEST_F(VerifyCodeWithFile, AFilesExactBytesVerifyAndSoDoSignaturesOfTheOldForm) {
  const auto openssl_signature = [&](const std::string& bytes) {
    return text_from_utf8(openssl_sign(bytes, pki.user, "-outform PEM"));
  };
  // Odd, and with space code units at either end: the two cases where the old form differs.
  for (const std::string& bytes : {std::string("ABC"), std::string(" \0AB \0", 6)}) {
    const Text path = write("code.bin", bytes);
    EXPECT_EQ(sign.VerifyCodeWithFile(path, openssl_signature(bytes), vb_true), u"success");
    EXPECT_EQ(sign.VerifyCodeWithFile(path, signature_over(code_units_of(bytes), pki.user.serial),
                                      vb_true),
              u"success");
  }
  // A signature over one file's exact bytes is no signature of another.
  const Text signature = openssl_signature("ABC");
  EXPECT_EQ(
      sign.VerifyCodeWithFile(write("other.bin", std::string("ABC\0", 4)), signature, vb_true),
      answers::not_valid);
}
#endif

}  // namespace
}  // namespace orvane::signing
