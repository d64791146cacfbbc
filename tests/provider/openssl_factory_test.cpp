#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <optional>
#include <string>

#include "provider/openssl/factory.h"
#include "runtime/failure.h"
#include "tests/provider/pki_fixture.h"

namespace orvane::provider {
namespace {

// Sets or clears environment variables for one test and puts the old values back after it.
class Environment {
 public:
  ~Environment() {
    for (const auto& [name, value] : saved_) {
      if (value) {
        ::setenv(name.c_str(), value->c_str(), 1);
      } else {
        ::unsetenv(name.c_str());
      }
    }
  }

  void set(const std::string& name, const char* value) {
    if (!saved_.contains(name)) {
      const char* old = std::getenv(name.c_str());
      saved_[name] = old ? std::optional<std::string>(old) : std::nullopt;
    }
    if (value) {
      ::setenv(name.c_str(), value, 1);
    } else {
      ::unsetenv(name.c_str());
    }
  }

 private:
  std::map<std::string, std::optional<std::string>> saved_;
};

TEST(DefaultStoreRoot, IsTheStoreVariableElseTheXdgDataHomeElseTheHomeFolder) {
  Environment environment;
  environment.set("ORVANE_STORE_DIR", "/stores/orvane");
  environment.set("XDG_DATA_HOME", "/data");
  environment.set("HOME", "/home/someone");
  EXPECT_EQ(openssl::default_store_root(), "/stores/orvane");

  environment.set("ORVANE_STORE_DIR", "");
  EXPECT_EQ(openssl::default_store_root(), "/data/orvane/store");

  environment.set("XDG_DATA_HOME", "relative/data");  // not absolute, so not a data home
  EXPECT_EQ(openssl::default_store_root(), "/home/someone/.local/share/orvane/store");

  environment.set("XDG_DATA_HOME", nullptr);
  environment.set("HOME", nullptr);
  EXPECT_EQ(openssl::default_store_root(), "");
}

TEST(DefaultFactory, CannotCreateObjectsWithoutAStoreRoot) {
  Environment environment;
  for (const char* name : {"ORVANE_STORE_DIR", "XDG_DATA_HOME", "HOME"}) {
    environment.set(name, nullptr);
  }
  const auto factory = default_factory();
  for (const auto& create : std::vector<std::function<void()>>{
           [&] { factory->CreateStore(); }, [&] { factory->CreateSigner(); },
           [&] { factory->CreateSignedData(); }}) {
    EXPECT_EQ(orvane::testing::failure_number(create), 429);
    EXPECT_EQ(orvane::testing::failure_text(create), u"ActiveX component can't create object");
  }
}

TEST(DefaultFactory, ReadsTheStoresUnderTheStoreVariable) {
  orvane::testing::TempFolder folder;
  const auto pki = test_pki::install_test_pki(folder.path());
  Environment environment;
  environment.set("ORVANE_STORE_DIR", folder.path().c_str());
  auto store = default_factory()->CreateStore();
  store->Open(StoreLocation::current_user, u"My");
  EXPECT_EQ(store->Certificates()->Item(1)->SerialNumber(), pki.user.serial);
}

}  // namespace
}  // namespace orvane::provider
