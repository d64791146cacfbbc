// The Sign object's tests under Wine: the build-time PKI goes into the user's stores once for
// the process, before anything builds a chain (the platform's chain engine may keep the stores
// it read first), and leaves them at its end.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "tests/support/windows_pki/windows_pki_import.h"

namespace orvane::signing {
namespace {

const std::filesystem::path pki_folder = ORVANE_WINDOWS_PKI;

class UserStoresHoldThePki : public ::testing::Environment {
 public:
  void SetUp() override {
    root_ = std::make_unique<testing::UserStoreImport>(L"Root");
    root_->add_certificate(pki_folder / "root.der");
    personal_ = std::make_unique<testing::UserStoreImport>();
    const std::wstring password = testing::read_pfx_password(pki_folder);
    personal_->import_pfx(pki_folder / "signer.pfx", password);
    personal_->import_pfx(pki_folder / "second.pfx", password);
    personal_->add_certificate(pki_folder / "expired.der");
    personal_->add_certificate(pki_folder / "keyless.der");
  }
  void TearDown() override {
    personal_.reset();
    root_.reset();
  }

 private:
  std::unique_ptr<testing::UserStoreImport> root_;
  std::unique_ptr<testing::UserStoreImport> personal_;
};

[[maybe_unused]] const auto* const user_stores =
    ::testing::AddGlobalTestEnvironment(new UserStoresHoldThePki);

}  // namespace
}  // namespace orvane::signing
