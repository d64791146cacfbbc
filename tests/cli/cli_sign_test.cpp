#include <gtest/gtest.h>

#include "provider/content_bytes.h"
#include "tests/cli/cli_fixture.h"
#include "tests/provider/openssl_cli.h"

namespace orvane::testing {
namespace {

namespace fs = std::filesystem;

bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// A binary file like a PDF: every byte value, CR LF and lone line ends, an odd length.
std::string pdf_like() {
  std::string bytes = "%PDF-1.7\r\n%\xE2\xE3\xCF\xD3\n";
  for (int value = 255; value >= 0; --value) bytes.push_back(static_cast<char>(value));
  return bytes + "\n%%EOF\r";
}

// The bytes that a text stands for when it is signed as a text: UTF-16LE.
std::string utf16le(const std::u16string& text) {
  const auto bytes = provider::content_bytes(text);
  return std::string(bytes.begin(), bytes.end());
}

class CliSignTest : public CliTest {
 protected:
  void SetUp() override { set_up_user_store(); }

  fs::path document = write("report.pdf", pdf_like());
};

TEST_F(CliSignTest, SignsAPdfAttachedAndDetachedVerifiesBothAndRestoresItByteForByte) {
  auto result = in_store({"sign", document.string(), "--serial", user_serial});
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.out, "success\n");
  EXPECT_EQ(result.err, "");
  const fs::path message = folder.path() / "report_Signature.txt";
  ASSERT_TRUE(fs::exists(message));

  result = in_store(
      {"sign", document.string(), "--serial", user_serial, "--detached", "--suffix", ".p7s"});
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.out, "success\n");
  const fs::path signature = folder.path() / "report.p7s";
  ASSERT_TRUE(fs::exists(signature));

  result = in_store(
      {"verify", document.string(), signature.string(), "--detached", "--serial", user_serial});
  EXPECT_EQ(result.status, 0) << result.out << result.err;
  EXPECT_EQ(result.out, "success\n");

  fs::create_directory(folder.path() / "restored");
  const fs::path restore_as = folder.path() / "restored" / "copy.xyz";
  result = in_store({"verify", message.string(), restore_as.string(), "--serial", user_serial});
  ASSERT_EQ(result.status, 0) << result.out << result.err;
  const fs::path restored = folder.path() / "restored" / "copy.pdf";
  EXPECT_EQ(result.out, "success\n" + restored.string() + "\n");
  EXPECT_EQ(read_file(restored), pdf_like());

  // verify-code restores beside the message, named after it.
  result = in_store({"verify-code", "--attached", message.string()});
  EXPECT_EQ(result.status, 0) << result.out << result.err;
  EXPECT_EQ(result.out, "success\n");
  EXPECT_EQ(read_file(folder.path() / "report_Signature.pdf"), pdf_like());

  // A changed file no longer verifies.
  write("report.pdf", pdf_like() + " ");
  result = in_store(
      {"verify", document.string(), signature.string(), "--detached", "--serial", user_serial});
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.out, "Signature or Certificate is not valid \n");
  EXPECT_TRUE(contains(result.err, "the signature does not match")) << result.err;
}

TEST_F(CliSignTest, AWrongSerialNumberAnswersClearlyAndSaysWhatToDo) {
  auto result = in_store({"sign", document.string(), "--serial", "4a6b8c9d0e1f"});
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.out, "Error: Certificate is either damaged, uninstalled or not present.\n");
  EXPECT_EQ(result.err,
            "orvane: no certificate with serial number 4a6b8c9d0e1f, its private key "
            "and a validity period that includes today is in " +
                store.string() + ": run `orvane store list` to see the serial numbers\n");
  EXPECT_FALSE(fs::exists(folder.path() / "report_Signature.txt"));

  result = in_store({"sign", document.string()});
  EXPECT_EQ(result.status, 1);
  EXPECT_TRUE(contains(result.err, "pass the signer's serial number with --serial")) << result.err;

  ASSERT_EQ(in_store({"sign", document.string(), "--serial", user_serial, "--detached"}).status, 0);
  const std::string signature = (folder.path() / "report_Signature.txt").string();
  result = in_store({"verify", document.string(), signature, "--detached", "--serial",
                     text_to_utf8(pki.ec_user.serial)});
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.out, "The file has not been signed with the certificate used for login.\n");
  EXPECT_TRUE(contains(result.err, "pass the signer's with --serial")) << result.err;
  result = in_store({"verify", document.string(), signature, "--detached"});
  EXPECT_EQ(result.status, 1);
  EXPECT_TRUE(contains(result.err, "pass the signer's serial number with --serial S"));
}

TEST_F(CliSignTest, MissingFilesAnswerAsTheComponentDoesWithAHint) {
  auto result = in_store({"sign", "missing.pdf", "--serial", user_serial});
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.out, "Err Description: File not found\n");
  EXPECT_EQ(result.err, "orvane: missing.pdf does not exist: check the path\n");

  result = in_store({"verify", "missing.pdf", "x.p7s", "--detached", "--serial", user_serial});
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.out, "Original File Not Found Or Can't BE Accessed\n");
  EXPECT_EQ(result.err, "orvane: missing.pdf does not exist: check the path\n");

  result = in_store({"verify", "report.pdf", "missing.p7s", "--detached", "--serial", user_serial});
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(
      result.out,
      "Digital Siganture File Not Found Or Can't Be Accessed for Original file :report.pdf\n");
  EXPECT_EQ(result.err, "orvane: missing.p7s does not exist: check the path\n");

  result = in_store({"verify-code", "report.pdf", "--signature-file", "missing.p7s"});
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.out, "");
  EXPECT_TRUE(result.err.starts_with("orvane: cannot read the signature file missing.p7s"));
}

TEST_F(CliSignTest, SignsTextsAndVerifiesSignaturesOverAFilesBytes) {
  const std::u16string text = u"Pay 100 \u20AC to Zo\u00EB";
  auto result =
      in_store({"sign", "--text", text_to_utf8(text), "--serial", user_serial, "--detached"});
  ASSERT_EQ(result.status, 0) << result.out << result.err;
  // The message exactly as the component answers: Base64 lines ended by CR LF, then the
  // command's own line break.
  ASSERT_TRUE(result.out.ends_with("\r\n\n")) << result.out;
  const std::string message = result.out.substr(0, result.out.size() - 1);
  EXPECT_TRUE(message.starts_with("MII")) << message;

  // The text's code units are what was signed, so a file of them verifies by its bytes.
  const auto utf16_file = write("text.bin", utf16le(text));
  result = in_store({"verify-code", utf16_file.string(), "--signature", message});
  EXPECT_EQ(result.status, 0) << result.out << result.err;
  EXPECT_EQ(result.out, "success\n");
  const auto signature_file = write("text.sig", message);
  result =
      in_store({"verify-code", utf16_file.string(), "--signature-file", signature_file.string()});
  EXPECT_EQ(result.out, "success\n");
  result = in_store({"verify-code", document.string(), "--signature", message});
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.out, "Signature or Certificate is not valid \n");

  // A DER signature from the openssl command over the file's bytes (of even length).
  const auto data = write("data.bin", std::string("\x00\x01\x02\xFF", 4));
  const auto der = folder.path() / "data.der";
  ASSERT_TRUE(run_openssl(
      "cms -sign -binary -in " + quoted(data) + " -signer " + quoted(pki.ec_user.certificate) +
      " -inkey " + quoted(pki.ec_user.private_key) + " -certfile " +
      quoted(pki.intermediate.certificate) + " -outform DER -out " + quoted(der)));
  result = in_store({"verify-code", data.string(), "--signature-file", der.string()});
  EXPECT_EQ(result.status, 0) << result.out << result.err;
  EXPECT_EQ(result.out, "success\n");

  result = in_store({"sign", "--text", "attached", "--serial", user_serial});
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_TRUE(result.out.starts_with("MII") && result.out.ends_with("\r\n\n")) << result.out;
}

TEST_F(CliSignTest, ServiceProviderSerialAndLogFollowTheConfigurationFile) {
  const fs::path log_folder = folder.path() / "logs";
  write("system/KPXServiceControl.INI", "<SerialNumber>" + user_serial +
                                            "</SerialNumber>\r\n<LogError>" + log_folder.string() +
                                            "</LogError>\r\n");
  auto result = in_store({"serial"});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.out, user_serial + "\n");

  const auto invoice = write("invoice.xml", "<invoice>42</invoice>");
  result = in_store({"sp-sign", invoice.string()});
  ASSERT_EQ(result.status, 0) << result.out << result.err;
  const std::string signature = result.out.substr(0, result.out.size() - 1);
  // A detached signature over the file's text, each character signed as a code unit.
  const auto as_signed = write("invoice.utf16", utf16le(u"<invoice>42</invoice>"));
  EXPECT_EQ(in_store({"verify-code", as_signed.string(), "--signature", signature}).out,
            "success\n");

  result = in_store({"sp-sign", "--text", "<invoice>42</invoice>"});
  EXPECT_EQ(result.status, 0);
  EXPECT_TRUE(result.out.starts_with("MII")) << result.out;

  result = in_store({"sp-sign", "missing.xml"});
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.out, "-1\n");
  EXPECT_EQ(result.err, "orvane: missing.xml does not exist: check the path\n");
  result = in_store({"sp-sign", write("blank.xml", "   ").string()});
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.out, "-1\n");
  EXPECT_TRUE(contains(result.err, "<SerialNumber>")) << result.err;

  result = in_store({"log", "nightly run: 3 files failed"});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.out, "");
  ASSERT_TRUE(fs::is_directory(log_folder));
  std::string logged;
  for (const auto& entry : fs::directory_iterator(log_folder)) logged += read_file(entry.path());
  EXPECT_TRUE(contains(logged, " - Orvane.dll : nightly run: 3 files failed\r\n")) << logged;

  // No configuration: an empty serial number is an answer, with a note why.
  fs::remove(system / "KPXServiceControl.INI");
  result = in_store({"serial"});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.out, "\n");
  EXPECT_TRUE(contains(result.err, "KPXServiceControl.INI does not exist")) << result.err;
  result = in_store({"sp-sign", "--text", "x"});
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.out, "-1\n");
}

}  // namespace
}  // namespace orvane::testing
