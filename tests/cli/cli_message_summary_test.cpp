#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "tests/cli/cli_fixture.h"
#include "tests/provider/openssl_cli.h"

namespace orvane::testing {
namespace {

namespace fs = std::filesystem;

bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

class CliInspectTest : public CliTest {
 protected:
  void SetUp() override { set_up_user_store(); }

  fs::path document = write("report.pdf", "%PDF-1.7 twelve");
};

TEST_F(CliInspectTest, AnAttachedMessageShowsItsContentRestoredNameSignerAndVerdict) {
  ASSERT_EQ(in_store({"sign", document.string(), "--serial", user_serial}).status, 0);
  const fs::path message = folder.path() / "report_Signature.txt";

  const auto result = in_store({"inspect", message.string()});
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_TRUE(contains(result.out, "attached message\n")) << result.out;
  // The text's code units, two bytes each, and the envelope ".pdf4".
  EXPECT_TRUE(contains(result.out, "content: 40 bytes\n")) << result.out;
  const fs::path restored = folder.path() / "report_Signature.pdf";
  EXPECT_TRUE(contains(result.out, "restored name: " + restored.string() + "\n")) << result.out;
  EXPECT_TRUE(contains(result.out, "  serial: " + user_serial + "\n")) << result.out;
  EXPECT_TRUE(contains(result.out, "  digest: sha256\n")) << result.out;
  EXPECT_TRUE(contains(result.out, "  signing time: 20")) << result.out;
  EXPECT_TRUE(contains(result.out, "  timestamp: none\n")) << result.out;
  EXPECT_TRUE(contains(result.out, "verification: valid")) << result.out;
  // Inspecting restores nothing.
  EXPECT_FALSE(fs::exists(restored));
}

TEST_F(CliInspectTest, ADetachedSignatureShowsItsSignerAndSaysItNeedsItsContent) {
  ASSERT_EQ(in_store({"sign", document.string(), "--serial", user_serial, "--detached"}).status, 0);
  const auto result = in_store({"inspect", (folder.path() / "report_Signature.txt").string()});
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_TRUE(contains(result.out, "detached signature\n")) << result.out;
  EXPECT_FALSE(contains(result.out, "restored name")) << result.out;
  EXPECT_TRUE(contains(result.out, "  serial: " + user_serial + "\n")) << result.out;
  EXPECT_TRUE(contains(result.out, "  subject: CN=")) << result.out;
  EXPECT_TRUE(contains(result.out, "--signature-file")) << result.out;
  EXPECT_FALSE(contains(result.out, "verification: valid")) << result.out;
}

TEST_F(CliInspectTest, JsonIsOneObjectWithTheFields) {
  ASSERT_EQ(in_store({"sign", document.string(), "--serial", user_serial}).status, 0);
  const auto result =
      in_store({"inspect", (folder.path() / "report_Signature.txt").string(), "--json"});
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_TRUE(contains(result.out, "\"attached\":true,\"content_size\":40,")) << result.out;
  EXPECT_TRUE(contains(result.out, "\"serial\":\"" + user_serial + "\"")) << result.out;
  EXPECT_TRUE(contains(result.out, "\"timestamp\":null")) << result.out;
  EXPECT_TRUE(contains(result.out, "\"verification\":\"valid\"")) << result.out;
  const fs::path json = folder.path() / "inspect.json";
  std::ofstream(json) << result.out;
  const std::string check =
      "python3 -c 'import json,sys; d=json.load(sys.stdin); "
      "assert d[\"signers\"][0][\"digest_algorithm\"]==\"sha256\"' < '" +
      json.string() + "'";
  EXPECT_EQ(std::system(check.c_str()), 0) << result.out;
}

TEST_F(CliInspectTest, AStrangersNamesAreEscapedAndAnUntrustedSignerIsNoValidSignature) {
  const fs::path key = folder.path() / "mallory.key";
  const fs::path certificate = folder.path() / "mallory.pem";
  const fs::path message = folder.path() / "mallory.der";
  // A comma, a right-to-left override and a control character in the common name.
  ASSERT_TRUE(run_openssl("req -x509 -newkey rsa:2048 -nodes -days 2 -utf8 -keyout " + quoted(key) +
                          " -out " + quoted(certificate) +
                          " -subj '/O=Acme/CN=Mallory, Inc. \xE2\x80\xAE"
                          "fdp.exe\x1B"
                          "[2J'"));
  ASSERT_TRUE(run_openssl("cms -sign -nodetach -binary -outform DER -in " + quoted(document) +
                          " -signer " + quoted(certificate) + " -inkey " + quoted(key) + " -out " +
                          quoted(message)));

  auto result = in_store({"inspect", message.string()});
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_TRUE(
      contains(result.out, "  subject: CN=Mallory\\, Inc. \\E2\\80\\AEfdp.exe\\1B[2J,O=Acme\n"))
      << result.out;
  EXPECT_FALSE(contains(result.out, "\x1B")) << result.out;
  EXPECT_FALSE(contains(result.out, "verification: valid")) << result.out;
  EXPECT_TRUE(contains(result.out, "verification: ")) << result.out;

  result = in_store({"inspect", message.string(), "--json"});
  ASSERT_EQ(result.status, 0) << result.err;
  const fs::path json = folder.path() / "mallory.json";
  std::ofstream(json) << result.out;
  const std::string check =
      "python3 -c 'import json,sys; json.load(sys.stdin)' < '" + json.string() + "'";
  EXPECT_EQ(std::system(check.c_str()), 0) << result.out;
}

TEST_F(CliInspectTest, AFileThatIsNoMessageFailsWithOneClearLine) {
  const auto result = in_store({"inspect", write("notes.txt", "hello, world\n").string()});
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.out, "");
  EXPECT_TRUE(contains(result.err, "notes.txt is no signed message that can be read"))
      << result.err;
}

}  // namespace
}  // namespace orvane::testing
