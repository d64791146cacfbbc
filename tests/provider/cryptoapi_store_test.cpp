// The CryptoAPI back end's stores and certificate searches, over the current user's personal
// store with the Windows test PKI imported into it.

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "provider/crypt_error.h"
#include "provider/cryptoapi/chain_verification.h"
#include "provider/cryptoapi/factory.h"
#include "tests/support/failures.h"
#include "tests/support/windows_pki/windows_pki_import.h"

namespace orvane::provider {
namespace {

const std::filesystem::path pki_folder = ORVANE_WINDOWS_PKI;

// pki.txt: the serial-number text of each certificate, by name.
std::map<std::string, Text> expected_serials() {
  std::ifstream in(pki_folder / "pki.txt");
  std::map<std::string, Text> serials;
  std::string name;
  std::string serial;
  while (in >> name >> serial) serials[name] = Text(serial.begin(), serial.end());
  return serials;
}

// The serial numbers of `collection` that belong to the test PKI.
std::multiset<Text> pki_serials(const CertificateCollection& collection,
                                const std::map<std::string, Text>& pki) {
  std::set<Text> known;
  for (const auto& [name, serial] : pki) known.insert(serial);
  std::multiset<Text> serials;
  for (std::int32_t i = 1; i <= collection.Count(); ++i) {
    const Text serial = collection.Item(i)->SerialNumber();
    if (known.contains(serial)) serials.insert(serial);
  }
  return serials;
}

class CryptoapiStoreTest : public ::testing::Test {
 protected:
  std::unique_ptr<Store> open_personal_store() {
    auto store = cryptoapi::CryptoapiFactory().CreateStore();
    store->Open(StoreLocation::current_user, u"My");
    return store;
  }

  void SetUp() override {
    imported.import_pfx(pki_folder / "signer.pfx", testing::read_pfx_password(pki_folder));
    imported.add_certificate(pki_folder / "expired.der");
  }

  const std::map<std::string, Text> pki = expected_serials();
  testing::UserStoreImport imported;
};

TEST_F(CryptoapiStoreTest, ListsImportedCertificatesWithTheirDerSerialText) {
  ASSERT_EQ(pki.size(), 2u);
  ASSERT_EQ(pki.at("signer"), u"00A1B2C3D4");  // the DER sign octet is part of the text
  const auto certificates = open_personal_store()->Certificates();
  EXPECT_EQ(pki_serials(*certificates, pki),
            (std::multiset<Text>{pki.at("signer"), pki.at("expired")}));
}

TEST_F(CryptoapiStoreTest, FindsByKeyPropertyAndByValidityAtALocalTime) {
  const auto certificates = open_personal_store()->Certificates();

  const auto with_key =
      certificates->Find(FindType::extended_property, FindCriterion(key_provider_info_property));
  EXPECT_EQ(pki_serials(*with_key, pki), std::multiset<Text>{pki.at("signer")});
  const auto other_property =
      certificates->Find(FindType::extended_property, FindCriterion(std::int32_t{3}));
  EXPECT_EQ(other_property->Count(), 0);

  // The expired certificate ends at 2021-01-01 00:00:00 UTC, which is 01:00:00 an hour east.
  const auto at_end = certificates->Find(FindType::time_valid,
                                         FindCriterion(LocalDateTime{2021, 1, 1, 1, 0, 0, 60}));
  EXPECT_EQ(pki_serials(*at_end, pki), std::multiset<Text>{pki.at("expired")});
  const auto just_after = certificates->Find(FindType::time_valid,
                                             FindCriterion(LocalDateTime{2021, 1, 1, 1, 0, 1, 60}));
  EXPECT_TRUE(pki_serials(*just_after, pki).empty());
  const auto later = certificates->Find(FindType::time_valid,
                                        FindCriterion(LocalDateTime{2030, 1, 1, 0, 0, 0, -300}));
  EXPECT_EQ(pki_serials(*later, pki), std::multiset<Text>{pki.at("signer")});
}

TEST(CryptoapiStore, SmartCardStoreWithoutReadersIsEmptyAndBadOpensAreRefused) {
  auto store = cryptoapi::CryptoapiFactory().CreateStore();
  store->Open(StoreLocation::smart_card_user, u"My");
  EXPECT_EQ(store->Certificates()->Count(), 0);
  EXPECT_EQ(testing::failure_number([&] { store->Open(StoreLocation::current_user, Text()); }),
            crypt_error_number(CryptError::invalid_parameter));
  // Opening never creates a store.
  EXPECT_NE(testing::failure_number(
                [&] { store->Open(StoreLocation::current_user, u"OrvaneNoSuchStore"); }),
            0);
}

// The one rule for a root: self-issued and signed by its own key. A root whose signature is
// damaged has its own name as issuer still, and is no root.
TEST(CryptoapiRoots, ARootIsSelfIssuedAndSignedByItsOwnKey) {
  const auto certificate = [](std::vector<BYTE> bytes) {
    return windows::CertificateContextHandle(::CertCreateCertificateContext(
        X509_ASN_ENCODING, bytes.data(), static_cast<DWORD>(bytes.size())));
  };
  std::vector<BYTE> root_bytes = testing::read_pki_file(pki_folder / "root.der");
  const auto root = certificate(root_bytes);
  const auto intermediate = certificate(testing::read_pki_file(pki_folder / "intermediate.der"));
  const auto signer = certificate(testing::read_pki_file(pki_folder / "signer.der"));
  root_bytes.back() = static_cast<BYTE>(root_bytes.back() ^ 0x01);
  const auto damaged = certificate(root_bytes);
  ASSERT_TRUE(root && intermediate && signer && damaged);

  EXPECT_TRUE(cryptoapi::is_root(root.get()));
  EXPECT_FALSE(cryptoapi::is_root(intermediate.get()));
  EXPECT_FALSE(cryptoapi::is_root(signer.get()));
  EXPECT_FALSE(cryptoapi::is_root(damaged.get()));
}

}  // namespace
}  // namespace orvane::provider
