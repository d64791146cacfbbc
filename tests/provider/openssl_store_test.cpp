#include <gtest/gtest.h>

#include <ctime>
#include <vector>

#include "provider/crypt_error.h"
#include "tests/provider/openssl_cli.h"
#include "tests/provider/pki_fixture.h"

namespace orvane::provider {
namespace {

namespace fs = std::filesystem;
using ::orvane::testing::quoted;
using ::orvane::testing::run_openssl;

std::vector<Text> serials(const CertificateCollection& certificates) {
  std::vector<Text> list;
  for (std::int32_t i = 1; i <= certificates.Count(); ++i) {
    list.push_back(certificates.Item(i)->SerialNumber());
  }
  return list;
}

// The local date and time of `utc_seconds` in a zone `offset_minutes` east of UTC.
LocalDateTime local_time_at(std::int64_t utc_seconds, int offset_minutes) {
  const auto shifted = static_cast<std::time_t>(utc_seconds + offset_minutes * 60);
  const std::tm fields = *std::gmtime(&shifted);
  return {fields.tm_year + 1900, fields.tm_mon + 1, fields.tm_mday, fields.tm_hour,
          fields.tm_min,         fields.tm_sec,     offset_minutes};
}

class OpensslStoreTest : public orvane::testing::PkiTest {
 protected:
  std::unique_ptr<CertificateCollection> open(StoreLocation location = StoreLocation::current_user,
                                              const Text& name = u"My") {
    auto store = factory->CreateStore();
    store->Open(location, name);
    return store->Certificates();
  }

  std::vector<Text> with_key() {
    return serials(*open()->Find(FindType::extended_property, key_provider_info_property));
  }
};

TEST_F(OpensslStoreTest, ListsThePersonalStoreByFileNameThenByPositionInTheFile) {
  EXPECT_EQ(serials(*open()),
            (std::vector<Text>{pki.user.serial, pki.ec_user.serial, pki.without_key.serial,
                               pki.expired.serial, pki.not_yet_valid.serial,
                               pki.duplicate_first.serial, pki.duplicate_second.serial,
                               pki.leading_zero.serial, pki.untrusted_user.serial}));

  // A bundle whose name sorts first, holding two certificates in the opposite order.
  orvane::testing::write_file(folder.path() / "My" / "05-bundle.pem",
                              orvane::testing::read_file(pki.intermediate.certificate) +
                                  orvane::testing::read_file(pki.root.certificate));
  const auto listed = serials(*open());
  ASSERT_EQ(listed.size(), 11u);
  EXPECT_EQ(listed[0], pki.intermediate.serial);
  EXPECT_EQ(listed[1], pki.root.serial);
  EXPECT_EQ(listed[2], pki.user.serial);
}

TEST_F(OpensslStoreTest, SerialNumberIsUpperCaseHexOfTheDerOctetsWithTheLeadingZeroKept) {
  EXPECT_EQ(pki.leading_zero.serial, u"00C3A1B2D4");
  EXPECT_EQ(pki.user.serial, u"4A6B8C9D0E1F");
  const auto listed = serials(*open());
  EXPECT_NE(std::find(listed.begin(), listed.end(), u"00C3A1B2D4"), listed.end());
  EXPECT_NE(std::find(listed.begin(), listed.end(), u"4A6B8C9D0E1F"), listed.end());
}

TEST_F(OpensslStoreTest, KeyPropertyMarksTheCertificatesWhoseKeyTheStoreHolds) {
  const auto listed = with_key();
  EXPECT_EQ(listed.size(), 8u);
  EXPECT_EQ(std::find(listed.begin(), listed.end(), pki.without_key.serial), listed.end());
  EXPECT_EQ(open()->Find(FindType::extended_property, 99)->Count(), 0);

  // A key that group or others can read is not the user's own any more.
  fs::permissions(pki.user.private_key, fs::perms::group_read, fs::perm_options::add);
  const auto after = with_key();
  EXPECT_EQ(after.size(), 7u);
  EXPECT_EQ(std::find(after.begin(), after.end(), pki.user.serial), after.end());

  // The same factory sees every later change of the folder: a key rewritten with another.
  orvane::testing::write_file(pki.ec_user.private_key,
                              orvane::testing::read_file(pki.leading_zero.private_key));
  const auto rewritten = with_key();
  EXPECT_EQ(rewritten.size(), 6u);
  EXPECT_EQ(std::find(rewritten.begin(), rewritten.end(), pki.ec_user.serial), rewritten.end());
}

TEST_F(OpensslStoreTest, ReadsDerCertificatesDerKeysAndPkcs12FilesWithAnEmptyPassword) {
  const fs::path other = folder.path() / "other";
  const fs::path my = other / "My";
  fs::create_directories(my);
  ASSERT_TRUE(run_openssl("x509 -in " + quoted(pki.ec_user.certificate) + " -outform DER -out " +
                          quoted(my / "a.cer")));
  ASSERT_TRUE(run_openssl("pkcs8 -topk8 -nocrypt -in " + quoted(pki.ec_user.private_key) +
                          " -outform DER -out " + quoted(my / "b.der")));
  ASSERT_TRUE(run_openssl("pkcs12 -export -passout pass: -in " + quoted(pki.user.certificate) +
                          " -inkey " + quoted(pki.user.private_key) + " -out " +
                          quoted(my / "c.p12")));
  ASSERT_TRUE(run_openssl("pkcs12 -export -passout pass:secret -in " +
                          quoted(pki.expired.certificate) + " -inkey " +
                          quoted(pki.expired.private_key) + " -out " + quoted(my / "d.p12")));
  for (const char* key_file : {"b.der", "c.p12", "d.p12"}) {
    fs::permissions(my / key_file, fs::perms::owner_read | fs::perms::owner_write);
  }
  orvane::testing::write_file(my / "e.txt", std::string("not a certificate"));

  factory = default_factory(other);
  // The file protected by a password and the stray file add nothing.
  EXPECT_EQ(serials(*open()), (std::vector<Text>{pki.ec_user.serial, pki.user.serial}));
  EXPECT_EQ(with_key(), (std::vector<Text>{pki.ec_user.serial, pki.user.serial}));

  // Readable by others, a DER key gives no key, and a PKCS #12 file nothing at all.
  for (const char* key_file : {"b.der", "c.p12"}) {
    fs::permissions(my / key_file, fs::perms::others_read, fs::perm_options::add);
  }
  EXPECT_EQ(serials(*open()), std::vector<Text>{pki.ec_user.serial});
  EXPECT_TRUE(with_key().empty());
}

TEST_F(OpensslStoreTest, TimeValidFindTakesTheLocalTimeInItsOwnOffset) {
  const auto valid_at = [&](std::int64_t utc_seconds, int offset_minutes) {
    return serials(*open()->Find(FindType::time_valid, local_time_at(utc_seconds, offset_minutes)));
  };
  const auto holds = [](const std::vector<Text>& list, const Text& serial) {
    return std::find(list.begin(), list.end(), serial) != list.end();
  };
  // A local clock two hours ahead of UTC still names the same moment.
  EXPECT_TRUE(holds(valid_at(pki.expired.not_after, 120), pki.expired.serial));
  EXPECT_FALSE(holds(valid_at(pki.expired.not_after + 1, 120), pki.expired.serial));
  EXPECT_FALSE(holds(valid_at(pki.not_yet_valid.not_before - 1, -300), pki.not_yet_valid.serial));
  EXPECT_TRUE(holds(valid_at(pki.not_yet_valid.not_before, -300), pki.not_yet_valid.serial));

  const auto now = valid_at(std::time(nullptr), 0);
  EXPECT_EQ(now.size(), 7u);
  EXPECT_FALSE(holds(now, pki.expired.serial));
  EXPECT_FALSE(holds(now, pki.not_yet_valid.serial));
}

TEST_F(OpensslStoreTest, OneObjectOpensThePersonalStoreThenTheEmptySmartCardStore) {
  auto store = factory->CreateStore();
  EXPECT_EQ(store->Certificates()->Count(), 0);
  store->Open(StoreLocation::current_user, u"My");
  EXPECT_EQ(store->Certificates()->Count(), 9);
  store->Open(StoreLocation::smart_card_user, u"My");
  EXPECT_EQ(store->Certificates()->Count(), 0);
  store->Open(StoreLocation::current_user, u"Root");
  EXPECT_EQ(serials(*store->Certificates()), std::vector<Text>{pki.root.serial});
}

TEST_F(OpensslStoreTest, AMissingStoreFolderIsAnEmptyStore) {
  const orvane::testing::TempFolder empty;
  factory = default_factory(empty.path() / "nothing here");
  EXPECT_EQ(open()->Count(), 0);
  EXPECT_EQ(open(StoreLocation::smart_card_user)->Count(), 0);
}

TEST_F(OpensslStoreTest, RefusesArgumentsOutsideTheObjectModel) {
  const auto fails_with = [](CryptError error, const std::function<void()>& call) {
    return orvane::testing::failure_number(call) == crypt_error_number(error);
  };
  auto store = factory->CreateStore();
  EXPECT_TRUE(fails_with(CryptError::invalid_parameter,
                         [&] { store->Open(StoreLocation::current_user, u"../My"); }));
  const auto certificates = open();
  EXPECT_TRUE(fails_with(CryptError::invalid_parameter, [&] { certificates->Item(0); }));
  EXPECT_TRUE(fails_with(CryptError::invalid_parameter, [&] { certificates->Item(10); }));
  EXPECT_TRUE(fails_with(CryptError::invalid_parameter, [&] {
    certificates->Find(FindType::time_valid, key_provider_info_property);
  }));
  EXPECT_TRUE(fails_with(CryptError::invalid_parameter, [&] {
    certificates->Find(FindType::extended_property, LocalDateTime{});
  }));
}

}  // namespace
}  // namespace orvane::provider
