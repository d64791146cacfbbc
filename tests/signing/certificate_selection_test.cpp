#include "signing/certificate_selection.h"

#include <gtest/gtest.h>
#include <openssl/pem.h>

#include <algorithm>
#include <ctime>

#include "provider/crypt_error.h"
#include "provider/openssl/certificate.h"
#include "tests/signing/recording_provider.h"
#include "tests/support/openssl_pki/test_pki.h"
#include "tests/support/temp_folder.h"

namespace orvane::signing {
namespace {

using provider::crypt_failure;
using provider::CryptError;
using Calls = std::vector<std::string>;

LocalDateTime local_now() {
  const std::time_t now = std::time(nullptr);
  const std::tm fields = *std::gmtime(&now);
  return {fields.tm_year + 1900,
          fields.tm_mon + 1,
          fields.tm_mday,
          fields.tm_hour,
          fields.tm_min,
          fields.tm_sec,
          0};
}

// Selection against the OpenSSL back end over the test PKI, through a recording wrapper.
class CertificateSelectionTest : public ::testing::Test {
 protected:
  CertificateSelection select(const Text& serial) {
    auto selection = SelectSignerCertificate(provider, serial, local_now());
    signer = selection.signer;
    return selection;
  }

  // Whether the bound certificate is the one in `file`.
  bool bound_is(const std::filesystem::path& file) {
    const auto* bound =
        dynamic_cast<const provider::openssl::OpensslCertificate*>(signer->GetCertificate().get());
    std::unique_ptr<BIO, provider::openssl::Free<BIO_free>> pem(BIO_new_file(file.c_str(), "r"));
    const provider::openssl::X509Ptr expected(
        PEM_read_bio_X509(pem.get(), nullptr, nullptr, nullptr));
    return bound != nullptr && expected && X509_cmp(bound->x509(), expected.get()) == 0;
  }

  testing::TempFolder folder;
  test_pki::TestPki pki = test_pki::install_test_pki(folder.path());
  testing::RecordingFactory provider{provider::default_factory(folder.path())};
  std::shared_ptr<provider::Signer> signer;  // of the last selection
};

TEST_F(CertificateSelectionTest, BindsTheMatchingPersonalCertificateAndNeverOpensTheSmartCards) {
  for (const auto* wanted : {&pki.user, &pki.ec_user, &pki.leading_zero}) {
    const auto selection = select(wanted->serial);
    EXPECT_TRUE(selection.bound());
    EXPECT_TRUE(selection.answer.succeeded());
    EXPECT_EQ(signer->GetCertificate()->SerialNumber(), wanted->serial);
  }
  EXPECT_EQ(provider.count("Open(4)"), 0u);
}

TEST_F(CertificateSelectionTest, SearchesThePersonalStoreThenTheSmartCardsOnTheSameStoreObject) {
  const auto selection = select(u"0123");
  EXPECT_FALSE(selection.bound());
  EXPECT_EQ(selection.answer.text(),
            u"Error: Certificate is either damaged, uninstalled or not present.");

  // One store object, the personal store first; of its certificates only the six with a key
  // that are valid now are compared.
  const Calls& calls = provider.calls();
  EXPECT_EQ(provider.count("CreateStore"), 1u);
  const auto personal = std::find(calls.begin(), calls.end(), "Open(2)");
  EXPECT_LT(personal, std::find(calls.begin(), calls.end(), "Open(4)"));
  EXPECT_EQ(provider.count("SerialNumber"), 6u);
}

TEST_F(CertificateSelectionTest, FiltersOutCertificatesWithoutAKeyOrNotValidNow) {
  for (const auto* filtered : {&pki.without_key, &pki.expired, &pki.not_yet_valid}) {
    const auto selection = select(filtered->serial);
    EXPECT_FALSE(selection.bound()) << text_to_utf8(filtered->serial);
    EXPECT_EQ(selection.answer.outcome, Outcome::no_certificate);
  }
}

TEST_F(CertificateSelectionTest, ComparesTheWholeSerialNumberExactlyAndCaseSensitively) {
  for (const Text& near_miss :
       {Text(u"4a6b8c9d0e1f"), Text(u" 4A6B8C9D0E1F"), Text(u"4A6B8C9D0E1F "),
        Text(u"4A 6B 8C 9D 0E 1F"), Text(u"4A:6B:8C:9D:0E:1F"), Text(u"C3A1B2D4"),
        Text(u"4A6B8C9D0E")}) {
    const auto selection = select(near_miss);
    EXPECT_FALSE(selection.bound()) << text_to_utf8(near_miss);
    EXPECT_EQ(selection.answer.outcome, Outcome::no_certificate);
  }
  EXPECT_EQ(select(u"").answer.outcome, Outcome::no_certificate);
}

TEST_F(CertificateSelectionTest, BindsTheFirstOfTwoCertificatesWithTheSameSerialNumber) {
  ASSERT_EQ(pki.duplicate_first.serial, pki.duplicate_second.serial);
  EXPECT_TRUE(select(pki.duplicate_first.serial).bound());
  EXPECT_TRUE(bound_is(pki.duplicate_first.certificate));  // the second is the root's own
  // user, ec_user, then the first duplicate; the second is never looked at.
  EXPECT_EQ(provider.count("SerialNumber"), 3u);
}

TEST(CertificateSelectionFilters, AreNotAppliedToAnEmptyCollection) {
  testing::TempFolder empty;
  testing::RecordingFactory provider{provider::default_factory(empty.path())};
  const auto selection = SelectSignerCertificate(provider, u"01", local_now());
  EXPECT_EQ(selection.answer.outcome, Outcome::no_certificate);
  EXPECT_EQ(provider.count("Find(6)") + provider.count("Find(9)"), 0u);

  // A store whose only certificate has no key: the first filter empties it, so no second.
  testing::TempFolder keyless;
  const auto pki = test_pki::install_test_pki(keyless.path());
  for (const auto& entry : std::filesystem::directory_iterator(keyless.path() / "My")) {
    if (entry.path() != pki.without_key.certificate) std::filesystem::remove(entry.path());
  }
  testing::RecordingFactory keyless_provider{provider::default_factory(keyless.path())};
  SelectSignerCertificate(keyless_provider, pki.without_key.serial, local_now());
  EXPECT_EQ(keyless_provider.count("Find(6)"), 1u);
  EXPECT_EQ(keyless_provider.count("Find(9)"), 0u);
}

TEST_F(CertificateSelectionTest, RuntimeFailuresGiveTheirDescriptionAndNumberAtEitherStage) {
  provider.fail("CreateStore", Failure(RuntimeError::cannot_create_object));
  EXPECT_EQ(select(pki.user.serial).answer.text(), u"ActiveX component can't create object429");

  provider.fail("Count", Failure(RuntimeError::object_not_set));
  EXPECT_EQ(select(pki.user.serial).answer.text(),
            u"Object variable or With block variable not set91");

  provider.fail("SerialNumber", Failure(RuntimeError::object_not_set));
  EXPECT_EQ(select(pki.user.serial).answer.text(),
            u"Object variable or With block variable not set91");
}

TEST_F(CertificateSelectionTest, ProviderFailuresWhileSearchingGiveTheNotPresentTextNumberAndText) {
  provider.fail("Find(9)", crypt_failure(CryptError::bad_encode));
  EXPECT_EQ(select(pki.user.serial).answer.text(),
            u"Error: Certificate is either damaged, uninstalled or not present.-2146885630"
            u"An error occurred during encode or decode operation.");

  // The smart-card search counts as searching again, after the personal store was compared.
  provider.fail("Open(4)", crypt_failure(CryptError::not_found));
  const auto selection = select(u"0123");
  EXPECT_EQ(selection.answer.text(),
            u"Error: Certificate is either damaged, uninstalled or not present.-2146885628"
            u"Cannot find object or property.");
}

TEST_F(CertificateSelectionTest, ProviderFailuresWhileComparingOrBindingCancelTheSelection) {
  provider.fail("SerialNumber", crypt_failure(CryptError::not_found));
  EXPECT_EQ(select(pki.user.serial).answer.text(), u"Certificate selection dialog was cancelled.");

  provider.fail("SetCertificate", crypt_failure(CryptError::invalid_parameter));
  const auto selection = select(pki.user.serial);
  EXPECT_FALSE(selection.bound());
  EXPECT_EQ(selection.answer.text(), u"Certificate selection dialog was cancelled.");
}

}  // namespace
}  // namespace orvane::signing
