// Scripts driving the server through the script host's own dispatch calls (cscript).

#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>

#include "tests/com/server_registration.h"
#include "tests/provider/windows_pki/windows_pki_import.h"

namespace orvane::com {
namespace {

const std::filesystem::path pki_folder = ORVANE_WINDOWS_PKI;
const std::filesystem::path scripts = ORVANE_COM_SCRIPTS;

using ScriptHost = testing::RegisteredServer;

TEST_F(ScriptHost, VbscriptSignsVerifiesReadsTagsAndGetsItsVariablesBack) {
  orvane::testing::UserStoreImport imported;
  imported.import_pfx(pki_folder / "signer.pfx", testing::pfx_password(pki_folder));
  // Trusted before the script's process builds a chain.
  orvane::testing::UserStoreImport trusted(L"Root");
  trusted.add_certificate(pki_folder / "root.der");
  // The script host of this test's bitness, as for regsvr32; it exits with the failed checks.
  EXPECT_EQ(testing::run(L"cscript.exe //nologo" + testing::quoted((scripts / "sign.vbs").c_str()) +
                         L" 00A1B2C3D4" + testing::quoted(folder_.c_str())),
            0u);
  EXPECT_TRUE(std::filesystem::exists(folder_ / "finished.txt")) << "the script stopped early";
}

}  // namespace
}  // namespace orvane::com
