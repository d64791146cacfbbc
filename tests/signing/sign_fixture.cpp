#include "tests/signing/sign_fixture.h"

#include <ctime>

#include "config/error_log.h"
#include "provider/base64.h"
#include "provider/content_bytes.h"
#include "tests/provider/openssl_cli.h"

namespace orvane::signing {

namespace fs = std::filesystem;
using testing::quoted;
using testing::read_file;
using testing::run_openssl;

SignTest::SignTest()
    : work(test.folder.path() / "work"),
      pki(test_pki::install_test_pki(test.folder.path() / "store")),
      sign(test.platform, provider::default_factory(test.folder.path() / "store")) {
  fs::create_directory(work);
  test.clock->set(native_clock()->now());
  configure("");
}

Text SignTest::write(const std::string& name, const std::string& bytes) const {
  testing::write_file(path(name), bytes);
  return text_path(name);
}

Text SignTest::text_path(const std::string& name) const {
  return text_from_utf8(path(name).string());
}

std::vector<std::string> SignTest::work_files() const {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(work))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

std::map<std::string, std::string> SignTest::work_contents() const {
  std::map<std::string, std::string> contents;
  for (const auto& name : work_files()) contents[name] = read_file(work / name);
  return contents;
}

void SignTest::configure(const std::string& more) const {
  test.write_configuration("<LogError>" + (test.folder.path() / "logs").string() + "</LogError>" +
                           more);
}

std::string SignTest::log() const {
  const fs::path file =
      test.folder.path() / "logs" / text_to_utf8(config::log_file_name(test.clock->now()));
  return fs::exists(file) ? read_file(file) : std::string();
}

std::vector<std::string> SignTest::log_entries() const {
  std::vector<std::string> found;
  const std::string text = log();
  const std::string marker = " - Orvane.dll : ";
  for (auto at = text.find(marker); at != std::string::npos; at = text.find(marker, at + 1)) {
    const auto start = at + marker.size();
    found.push_back(text.substr(start, text.find("\r\n", start) - start));
  }
  return found;
}

fs::path SignTest::der_file(const Text& message, const std::string& name) const {
  const auto der = provider::decode_base64_text(message);
  EXPECT_TRUE(der.has_value()) << "not Base64: " << text_to_utf8(message);
  const fs::path file = test.folder.path() / name;
  testing::write_file(file, der.value_or(Bytes{}));
  return file;
}

std::optional<std::string> SignTest::openssl_verify(
    const fs::path& der, const std::optional<std::string>& content) const {
  const fs::path content_file = test.folder.path() / "openssl-content.bin";
  const fs::path out = test.folder.path() / "openssl-out.bin";
  if (content) testing::write_file(content_file, *content);
  if (!run_openssl("cms -verify -binary -inform DER -in " + quoted(der) +
                   (content ? " -content " + quoted(content_file) : std::string()) + " -CAfile " +
                   quoted(pki.root.certificate) + " -out " + quoted(out))) {
    return std::nullopt;
  }
  return read_file(out);
}

std::string SignTest::openssl_sign(const std::string& content,
                                   const test_pki::TestCertificate& signer,
                                   const std::string& options) const {
  const fs::path content_file = test.folder.path() / "openssl-content.bin";
  const fs::path out = test.folder.path() / "openssl-message";
  testing::write_file(content_file, content);
  EXPECT_TRUE(run_openssl("cms -sign -binary -md sha256 -in " + quoted(content_file) + " -signer " +
                          quoted(signer.certificate) + " -inkey " + quoted(signer.private_key) +
                          " -certfile " + quoted(pki.intermediate.certificate) + " -out " +
                          quoted(out) + " " + options));
  return read_file(out);
}

std::vector<std::string> SignTest::signing_times(const fs::path& der) const {
  const fs::path printed = test.folder.path() / "printed.txt";
  EXPECT_TRUE(run_openssl("cms -cmsout -print -noout -inform DER -in " + quoted(der) + " -out " +
                          quoted(printed)));
  // The value follows its attribute's name: "object: signingTime (...)", "set:", "UTCTIME:...".
  std::vector<std::string> times;
  const std::string text = read_file(printed);
  for (auto at = text.find("signingTime"); at != std::string::npos;
       at = text.find("signingTime", at + 1)) {
    const auto value = text.find("TIME:", at);
    times.push_back(text.substr(value + 5, text.find('\n', value) - value - 5));
  }
  return times;
}

std::pair<Text, Text> SignTest::sign_file(const std::string& file, const Text& serial,
                                          bool detached, const Text& extension) {
  Variant input = text_path(file);
  Text sExtension = extension;
  const Text answer = sign.Signfile(input, serial, detached ? vb_true : vb_false, sExtension);
  EXPECT_EQ(input, Variant(text_path(file))) << "file mode never writes the path back";
  return {answer, sExtension};
}

std::string utf16le(const Text& text) {
  const ByteView bytes = provider::content_bytes(text);
  return std::string(bytes.begin(), bytes.end());
}

std::string binary_sample() {
  std::string bytes;
  for (int b = 0; b < 256; ++b) bytes.push_back(static_cast<char>(b));
  return bytes + "%PDF-1.7\r\n trailing spaces   ";
}

}  // namespace orvane::signing
