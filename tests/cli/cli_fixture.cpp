#include "tests/cli/cli_fixture.h"

#include <cstdlib>

#include "tests/provider/openssl_cli.h"

namespace orvane::testing {
namespace {

namespace fs = std::filesystem;

// Appends `prefix` and `text` to `command` as one more word for the shell, whatever they hold.
// (Appended piece by piece: GCC 12 at -O3 warns wrongly about a literal + a temporary string.)
void add_word(std::string& command, std::string_view prefix, std::string_view text = {}) {
  command += " '";
  for (const std::string_view part : {prefix, text}) {
    for (const char c : part) {
      if (c == '\'') {
        command += "'\\''";
      } else {
        command += c;
      }
    }
  }
  command += '\'';
}

}  // namespace

CliTest::CliTest() {
  fs::create_directories(system);
  fs::create_directories(home);
  fs::create_directories(temporary);
}

CommandResult CliTest::orvane(const std::vector<std::string>& arguments,
                              const std::map<std::string, std::string>& environment) const {
  const fs::path out = folder.path() / ".out";
  const fs::path err = folder.path() / ".err";
  const fs::path status = folder.path() / ".status";
  std::string command = "cd";
  add_word(command, folder.path().string());
  command += " && env -u ORVANE_STORE_DIR -u XDG_DATA_HOME";
  add_word(command, "HOME=", home.string());
  add_word(command, "TMPDIR=", temporary.string());
  for (const auto& [name, value] : environment) add_word(command, name + "=", value);
  add_word(command, ORVANE_BINARY);
  for (const auto& argument : arguments) add_word(command, argument);
  // The shell reports the exit status, so that no wait-status decoding is needed here.
  command += " >";
  add_word(command, out.string());
  command += " 2>";
  add_word(command, err.string());
  command += "; echo $? >";
  add_word(command, status.string());
  if (std::system(command.c_str()) != 0) throw std::runtime_error("cannot run " + command);
  return {std::stoi(read_file(status)), read_file(out), read_file(err)};
}

CommandResult CliTest::in_store(const std::vector<std::string>& arguments) const {
  std::vector<std::string> full{"--store", store.string(), "--system-dir", system.string()};
  full.insert(full.end(), arguments.begin(), arguments.end());
  return orvane(full);
}

fs::path CliTest::make_pkcs12(const test_pki::TestCertificate& certificate, const std::string& name,
                              const std::string& password, bool with_root) const {
  const fs::path file = folder.path() / "pki" / (name + ".p12");
  const fs::path chain = folder.path() / "pki" / (name + "-chain.pem");
  write_file(chain, read_file(pki.intermediate.certificate) +
                        (with_root ? read_file(pki.root.certificate) : std::string()));
  const bool made =
      run_openssl("pkcs12 -export -in " + quoted(certificate.certificate) + " -inkey " +
                  quoted(certificate.private_key) + " -certfile " + quoted(chain) + " -passout " +
                  quoted(fs::path("pass:" + password)) + " -out " + quoted(file));
  if (!made) throw std::runtime_error("openssl pkcs12 -export failed");
  return file;
}

fs::path CliTest::write(const std::string& name, const std::string& text) const {
  const fs::path path = folder.path() / name;
  fs::create_directories(path.parent_path());
  write_file(path, text);
  return path;
}

void CliTest::set_up_user_store() const {
  const auto password = write("password.txt", "correct horse\n");
  const auto p12 = make_pkcs12(pki.user, "user", "correct horse");
  ASSERT_EQ(
      in_store({"store", "import", p12.string(), "--password-file", password.string()}).status, 0);
  ASSERT_EQ(in_store({"store", "trust", pki.root.certificate.string()}).status, 0);
}

fs::perms permissions_of(const fs::path& path) {
  return fs::status(path).permissions() & fs::perms::all;
}

}  // namespace orvane::testing
