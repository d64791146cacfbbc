#include "tests/smart_card/soft_tokens.h"

#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>

#include <cstdlib>

#include "tests/provider/openssl_cli.h"
#include "tests/support/temp_folder.h"

namespace orvane::testing {
namespace {

namespace fs = std::filesystem;

void run(const std::string& command) {
  EXPECT_EQ(std::system((command + " >/dev/null 2>&1").c_str()), 0) << command;
}

}  // namespace

SoftTokens::SoftTokens(const fs::path& folder, const fs::path& store_root)
    : folder_(folder), store_root_(store_root) {
  const char* configuration = std::getenv("SOFTHSM2_CONF");
  if (configuration == nullptr) {
    ADD_FAILURE() << "SOFTHSM2_CONF is not set: run the smart-card tests through ctest";
    return;
  }
  fs::create_directories(folder_ / "tokens");
  write_file(configuration, "directories.tokendir = " + (folder_ / "tokens").string() +
                                "\nobjectstore.backend = file\nlog.level = ERROR\n");
  write_configuration("module = " + softhsm_module.string() + "\n");
}

void SoftTokens::create(const std::string& label, const std::string& pin) {
  run("softhsm2-util --init-token --free --label " + quoted(fs::path(label)) +
      " --so-pin 87654321 --pin " + pin);
}

void SoftTokens::put(const std::string& label, const std::string& pin,
                     const test_pki::TestCertificate& certificate, const std::string& id,
                     TokenKey key) {
  const fs::path der = folder_ / (id + ".der");
  EXPECT_TRUE(run_openssl("x509 -in " + quoted(certificate.certificate) + " -outform DER -out " +
                          quoted(der)));
  const std::string tool = "pkcs11-tool --module " + quoted(softhsm_module) + " --token-label " +
                           quoted(fs::path(label)) + " --login --pin " + pin + " --id " + id;
  run(tool + " --write-object " + quoted(der) + " --type cert");
  if (key != TokenKey::none) {
    run(tool + " --write-object " + quoted(certificate.private_key) +
        " --type privkey --usage-sign --private" +
        (key == TokenKey::always_authenticate ? " --always-auth" : ""));
  }
}

void SoftTokens::add_token_flags(std::uint64_t flags) {
  // SoftHSM's file store keeps the token flags as the attribute CKA_OS_TOKENFLAGS: its type,
  // then its kind (an unsigned long), then the value, each 8 bytes, most significant first.
  const std::string attribute("\0\0\0\0\x80\0\x53\x4B\0\0\0\0\0\0\0\x02", 16);
  for (const auto& token : fs::directory_iterator(folder_ / "tokens")) {
    const fs::path file = token.path() / "token.object";
    std::string bytes = read_file(file);
    const auto at = bytes.find(attribute);
    ASSERT_NE(at, std::string::npos) << file;
    for (int i = 0; i < 8; ++i) {
      bytes[at + attribute.size() + 7 - i] |= static_cast<char>((flags >> (8 * i)) & 0xFF);
    }
    write_file(file, bytes);
  }
}

void SoftTokens::write_pin_file(const std::string& label, const std::string& content,
                                fs::perms permissions) {
  const fs::path file = store_root_ / "pins" / label;
  fs::create_directories(file.parent_path());
  write_file(file, content);
  fs::permissions(file, permissions);
}

void SoftTokens::write_configuration(const std::string& text) {
  write_file(store_root_ / "pkcs11.conf", text);
}

RegisteredModules::RegisteredModules(
    const fs::path& folder, const std::vector<std::pair<std::string, std::string>>& modules) {
  // Private mounts of this process only: nothing the test mounts is seen outside it.
  if (::unshare(CLONE_NEWNS) != 0 ||
      ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
    return;
  }
  const fs::path registered = folder / "p11-kit-modules";
  const fs::path empty = folder / "p11-kit-nothing";
  fs::create_directories(registered);
  fs::create_directories(empty);
  for (const auto& [name, configuration] : modules) write_file(registered / name, configuration);
  // p11-kit reads the administrator's folder and the packages' folder: the packages' one shows
  // the test's modules, the other nothing.
  for (const auto& [source, target] :
       {std::pair{empty, fs::path(ORVANE_P11_KIT_ADMIN_MODULES)},
        std::pair{registered, fs::path(ORVANE_P11_KIT_PACKAGE_MODULES)}}) {
    if (!fs::is_directory(target)) continue;
    if (::mount(source.c_str(), target.c_str(), nullptr, MS_BIND, nullptr) != 0) {
      ADD_FAILURE() << "cannot mount " << source << " on " << target;
      continue;
    }
    mounted_.push_back(target);
  }
}

RegisteredModules::~RegisteredModules() {
  for (const auto& target : mounted_) ::umount2(target.c_str(), MNT_DETACH);
}

RegisteredModules register_softhsm(const fs::path& folder, bool with_trust_module) {
  std::vector<std::pair<std::string, std::string>> modules{
      {"softhsm2.module", "module: " + softhsm_module.string() + "\n"}};
  if (with_trust_module) {
    modules.emplace_back("p11-kit-trust.module", "module: p11-kit-trust.so\ntrust-policy: yes\n");
  }
  return RegisteredModules(folder, modules);
}

}  // namespace orvane::testing
