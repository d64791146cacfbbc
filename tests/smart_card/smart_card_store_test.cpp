#include "provider/openssl/smart_card_store.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "provider/openssl/store_listing.h"
#include "tests/provider/pki_fixture.h"
#include "tests/smart_card/soft_tokens.h"

namespace orvane::provider::openssl {
namespace {

namespace fs = std::filesystem;

// Whether `token` lists `serial`, with or without a key as `with_key` says.
bool lists(const SmartCardToken& token, const Text& serial, bool with_key) {
  return std::any_of(
      token.certificates.begin(), token.certificates.end(), [&](const auto& certificate) {
        return certificate->SerialNumber() == serial && certificate->has_key() == with_key;
      });
}

bool skips(const SmartCardContents& contents, const std::string& module,
           const std::string& reason) {
  return std::any_of(contents.skipped_modules.begin(), contents.skipped_modules.end(),
                     [&](const auto& skipped) {
                       return skipped.module.find(module) != std::string::npos &&
                              skipped.reason.find(reason) != std::string::npos;
                     });
}

class SmartCardStoreTest : public orvane::testing::PkiTest {
 protected:
  void SetUp() override {
    tokens.create("Orvane Card", "1234");
    tokens.put("Orvane Card", "1234", pki.ec_user, "01");
    tokens.put("Orvane Card", "1234", pki.without_key, "02", orvane::testing::TokenKey::none);
    tokens.write_pin_file("Orvane Card", "1234\n");
  }

  SmartCardContents load() { return load_smart_card_certificates(folder.path()); }

  orvane::testing::SoftTokens tokens{folder.path() / "softhsm", folder.path()};
};

TEST_F(SmartCardStoreTest, ListsEachTokenWithItsCertificatesAndTheKeysOfTheSameId) {
  const auto contents = load();
  // SoftHSM's free slot holds a token that is not initialised: no store reads it.
  ASSERT_EQ(contents.tokens.size(), 1u);
  const auto& token = contents.tokens[0];
  EXPECT_EQ(token.label, "Orvane Card");
  EXPECT_EQ(token.serial.size(), 16u);
  EXPECT_EQ(token.module, orvane::testing::softhsm_module);
  EXPECT_EQ(token.state, TokenState::read);
  EXPECT_EQ(token.reason, "");
  EXPECT_EQ(token.certificates.size(), 2u);
  EXPECT_TRUE(lists(token, pki.ec_user.serial, true));
  EXPECT_TRUE(lists(token, pki.without_key.serial, false));

  // The store's key filter keeps the one whose key is on the token.
  auto store = factory->CreateStore();
  store->Open(StoreLocation::smart_card_user, u"My");
  const auto with_key =
      store->Certificates()->Find(FindType::extended_property, key_provider_info_property);
  ASSERT_EQ(with_key->Count(), 1);
  EXPECT_EQ(with_key->Item(1)->SerialNumber(), pki.ec_user.serial);
}

TEST_F(SmartCardStoreTest, TheStoreListingShowsTokenCertificatesAndWhyATokenWasPassedOver) {
  const auto on_token = [](const StoreListing& listing, const Text& serial) {
    return std::find_if(listing.certificates.begin(), listing.certificates.end(),
                        [&](const ListedCertificate& listed) {
                          return listed.store == "smart card Orvane Card" &&
                                 listed.summary.serial == text_to_utf8(serial);
                        });
  };
  StoreListing listing = list_stores(folder.path());
  auto listed = on_token(listing, pki.ec_user.serial);
  ASSERT_NE(listed, listing.certificates.end());
  EXPECT_TRUE(listed->has_key);
  EXPECT_TRUE(listed->trusted);
  EXPECT_FALSE(on_token(listing, pki.without_key.serial)->has_key);
  EXPECT_TRUE(listing.smart_card_notes.empty());

  tokens.write_pin_file("Orvane Card", "9999\n");
  listing = list_stores(folder.path());
  ASSERT_EQ(listing.smart_card_notes.size(), 1u);
  EXPECT_EQ(listing.smart_card_notes[0], "token Orvane Card (" +
                                             orvane::testing::softhsm_module.string() +
                                             "): it refused the PIN of pins/Orvane Card");
}

TEST_F(SmartCardStoreTest, ReadsTheModulesOfPkcs11ConfOnceEachAndSaysWhichItPassedOver) {
  const fs::path alias = folder.path() / "alias.so";
  fs::create_symlink(orvane::testing::softhsm_module, alias);
  const fs::path not_a_module = pki.root.certificate;
  tokens.write_configuration(
      "# the token\n\nmodule = " + orvane::testing::softhsm_module.string() +
      "\n  module=" + alias.string() +
      "\nlibrary = x.so\nmodule = /nowhere/missing.so\nmodule = " + not_a_module.string() + "\n");
  const auto contents = load();
  EXPECT_EQ(contents.tokens.size(), 1u);
  EXPECT_TRUE(skips(contents, "pkcs11.conf line 5", "is not a line 'module = PATH'"));
  EXPECT_TRUE(skips(contents, "/nowhere/missing.so", "no such file"));
  EXPECT_TRUE(skips(contents, not_a_module.string(), "cannot be loaded or initialised"));
  EXPECT_EQ(contents.skipped_modules.size(), 3u);
}

TEST_F(SmartCardStoreTest, APkcs11ConfThatOthersCanWriteLoadsNoModuleAtAll) {
  const fs::path configuration = folder.path() / "pkcs11.conf";
  tokens.write_configuration("module = " + orvane::testing::softhsm_module.string() + "\n");
  fs::permissions(configuration, fs::perms::others_write, fs::perm_options::add);
  // Not even those p11-kit registers, SoftHSM among them.
  const auto contents = load();
  EXPECT_TRUE(contents.tokens.empty());
  EXPECT_EQ(list_stores(folder.path()).not_used,
            std::vector<std::string>{configuration.string() +
                                     " is not used: group or others can write it (chmod go-w " +
                                     configuration.string() + ")"});
}

TEST_F(SmartCardStoreTest, WithoutModuleLinesReadsTheModulesP11KitRegistersButNoTrustPolicy) {
  const auto registered = orvane::testing::register_softhsm(folder.path(), true);
  if (!registered.active()) GTEST_SKIP() << "no mount namespace of its own for this process";
  tokens.write_configuration("# nothing but comments\n");
  const auto contents = load();
  EXPECT_TRUE(skips(contents, "p11-kit-trust", "a trust-policy module"));
  // SoftHSM finds the test's tokens through SOFTHSM2_CONF.
  const auto card = std::find_if(contents.tokens.begin(), contents.tokens.end(),
                                 [](const auto& token) { return token.label == "Orvane Card"; });
  ASSERT_NE(card, contents.tokens.end());
  EXPECT_TRUE(lists(*card, pki.ec_user.serial, true));
}

TEST_F(SmartCardStoreTest, ATokenThatTwoModulesShowIsReadOnce) {
  // p11-kit's proxy shows the tokens of the modules p11-kit registers, SoftHSM among them.
  const auto registered = orvane::testing::register_softhsm(folder.path(), false);
  if (!registered.active()) GTEST_SKIP() << "no mount namespace of its own for this process";
  tokens.write_configuration("module = " + orvane::testing::softhsm_module.string() +
                             "\nmodule = " + ORVANE_P11_KIT_PROXY + "\n");
  const auto contents = load();
  ASSERT_EQ(contents.tokens.size(), 2u);
  EXPECT_EQ(contents.tokens[0].state, TokenState::read);
  EXPECT_EQ(contents.tokens[1].serial, contents.tokens[0].serial);
  EXPECT_EQ(contents.tokens[1].state, TokenState::skipped);
  EXPECT_EQ(contents.tokens[1].reason, "an earlier module showed the same token");
  EXPECT_TRUE(contents.tokens[1].certificates.empty());
  EXPECT_EQ(contents.certificates().size(), 2u);
}

TEST_F(SmartCardStoreTest, ATokenWhoseLoginCannotBeMadeSaysWhyAndKeepsItsCertificates) {
  struct Case {
    std::string pin_file;  // none when empty
    fs::perms permissions;
    std::string reason;
  };
  const auto owner = fs::perms::owner_read | fs::perms::owner_write;
  const fs::path pins = folder.path() / "pins";
  const fs::path pin_file = pins / "Orvane Card";
  const std::string not_private =
      "the PIN file pins/Orvane Card is not used: group or others "
      "have permissions on it (chmod 600 " +
      pin_file.string() + ")";
  for (const Case& pin : {Case{"9999\n", owner, "it refused the PIN of pins/Orvane Card"},
                          Case{"1234\n", owner | fs::perms::others_read, not_private},
                          Case{"1234\n", owner | fs::perms::others_write, not_private},
                          Case{"1234\n", owner | fs::perms::group_write, not_private},
                          Case{"\n", owner, "the PIN file pins/Orvane Card is empty"},
                          Case{"", owner,
                               "no PIN file pins/Orvane Card, and the token has no "
                               "PIN pad"}}) {
    fs::remove(folder.path() / "pins" / "Orvane Card");
    if (!pin.pin_file.empty()) tokens.write_pin_file("Orvane Card", pin.pin_file, pin.permissions);
    const auto contents = load();
    ASSERT_EQ(contents.tokens.size(), 1u);
    EXPECT_EQ(contents.tokens[0].state, TokenState::keys_unavailable) << pin.reason;
    EXPECT_EQ(contents.tokens[0].reason, pin.reason);
    // Whether a key hides behind the login is not known: each stands for one.
    EXPECT_TRUE(lists(contents.tokens[0], pki.ec_user.serial, true));
    EXPECT_TRUE(lists(contents.tokens[0], pki.without_key.serial, true));
  }

  const auto reason = [this] {
    const auto contents = load();
    return contents.tokens.size() == 1 ? contents.tokens[0].reason : "not one token";
  };
  // A FIFO is refused at once, never waited on.
  ASSERT_EQ(::mkfifo(pin_file.c_str(), 0600), 0);
  EXPECT_EQ(reason(), "the PIN file pins/Orvane Card is not used: it is not a regular file");
  fs::remove(pin_file);

  // Anyone who can write pins/ can put their PIN file there.
  tokens.write_pin_file("Orvane Card", "1234\n");
  fs::permissions(pins, fs::perms::all);
  EXPECT_EQ(reason(), pins.string() + " is not used: group or others can write it (chmod go-w " +
                          pins.string() + ")");
  fs::permissions(pins, fs::perms::owner_all);

  // Another user's PIN file is theirs, even to root.
  if (::geteuid() == 0) {
    ASSERT_EQ(::chown(pin_file.c_str(), 12345, 12345), 0);
    EXPECT_EQ(reason(),
              "the PIN file pins/Orvane Card is not used: user 12345 owns it: it must be your own "
              "file");
  }
}

TEST_F(SmartCardStoreTest, ATokenWhosePinIsBlockedOrOnItsFinalTryIsNeverLoggedInTo) {
  // SoftHSM takes the right PIN whatever its flags say: only a refusal keeps the keys away.
  tokens.add_token_flags(0x20000);  // CKF_USER_PIN_FINAL_TRY
  auto contents = load();
  ASSERT_EQ(contents.tokens.size(), 1u);
  EXPECT_EQ(contents.tokens[0].state, TokenState::keys_unavailable);
  EXPECT_EQ(contents.tokens[0].reason,
            "its user PIN has one try left, which is never risked on a stored PIN");

  contents = {};                    // SoftHSM reads its flags again once its last user unloads it
  tokens.add_token_flags(0x40000);  // CKF_USER_PIN_LOCKED
  contents = load();
  ASSERT_EQ(contents.tokens.size(), 1u);
  EXPECT_EQ(contents.tokens[0].reason, "its user PIN is blocked");
  EXPECT_TRUE(orvane::testing::fails_with(CryptError::pin_blocked, [&] {
    (void)contents.tokens[0].certificates[0]->device()->begin_signature();
  }));
}

}  // namespace
}  // namespace orvane::provider::openssl
