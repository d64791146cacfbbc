// Scripts driving the server through the script host's own dispatch calls (cscript).

#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>

#include "tests/com/server_registration.h"
#include "tests/support/windows_pki/windows_pki_import.h"

namespace orvane::com {
namespace {

const std::filesystem::path pki_folder = ORVANE_WINDOWS_PKI;
const std::filesystem::path scripts = ORVANE_COM_SCRIPTS;

using ScriptHost = testing::RegisteredServer;

// KPXServiceControl.INI in the system directory that hosts of this bitness read, for one
// test; an earlier file comes back afterwards.
class ConfigurationFile {
 public:
  explicit ConfigurationFile(const std::string& text) {
    wchar_t system[MAX_PATH] = {};
    ::GetSystemDirectoryW(system, MAX_PATH);
    path_ = std::filesystem::path(system) / "KPXServiceControl.INI";
    if (std::ifstream in{path_, std::ios::binary}) {
      earlier_ = std::string(std::istreambuf_iterator<char>(in), {});
    }
    std::ofstream(path_, std::ios::binary | std::ios::trunc) << text;
  }
  ~ConfigurationFile() {
    if (earlier_) {
      std::ofstream(path_, std::ios::binary | std::ios::trunc) << *earlier_;
    } else {
      std::filesystem::remove(path_);
    }
  }
  ConfigurationFile(const ConfigurationFile&) = delete;
  ConfigurationFile& operator=(const ConfigurationFile&) = delete;

 private:
  std::filesystem::path path_;
  std::optional<std::string> earlier_;
};

TEST_F(ScriptHost, VbscriptAndJscriptSignVerifyReadTagsAndGetVariablesBack) {
  orvane::testing::UserStoreImport imported;
  imported.import_pfx(pki_folder / "signer.pfx", testing::pfx_password(pki_folder));
  // Trusted before the script's process builds a chain.
  orvane::testing::UserStoreImport trusted(L"Root");
  trusted.add_certificate(pki_folder / "root.der");
  const ConfigurationFile configuration("<SerialNumber>00A1B2C3D4</SerialNumber>\r\n<LogError>" +
                                        (folder_ / "logs").string() + "</LogError>\r\n");
  // What the script signs is left here for the openssl command on the host.
  const std::filesystem::path out = pki_folder / "com-signed";
  std::filesystem::create_directories(out);
  // The script host of this test's bitness, as for regsvr32; it exits with the failed checks.
  EXPECT_EQ(testing::run(L"cscript.exe //nologo" + testing::quoted((scripts / "sign.vbs").c_str()) +
                         L" 00A1B2C3D4" + testing::quoted(folder_.c_str()) +
                         testing::quoted(pki_folder.c_str()) + testing::quoted(out.c_str())),
            0u);
  EXPECT_TRUE(std::filesystem::exists(folder_ / "finished.txt")) << "the script stopped early";

  // JScript, the other script language of the host, with the same certificate and stores.
  EXPECT_EQ(testing::run(L"cscript.exe //nologo" + testing::quoted((scripts / "sign.js").c_str()) +
                         L" 00A1B2C3D4" + testing::quoted(folder_.c_str())),
            0u);
  EXPECT_TRUE(std::filesystem::exists(folder_ / "finished-js.txt")) << "the script stopped early";
}

}  // namespace
}  // namespace orvane::com
