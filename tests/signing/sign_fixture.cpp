#include "tests/signing/sign_fixture.h"

#include <algorithm>

#include "config/error_log.h"
#include "provider/base64.h"
#include "provider/content_bytes.h"

namespace orvane::signing {

namespace fs = std::filesystem;
using testing::read_file;

SignTest::SignTest()
    : work(test.folder.path() / "work"),
      pki(install_sign_pki(test.folder.path() / "store")),
      sign(test.platform, provider::default_factory(pki.store_root)) {
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
