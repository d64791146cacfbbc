// Signing with the CryptoAPI back end under Wine. The messages go to windows_pki/signed/,
// where check_cryptoapi_messages.sh verifies them with the host's openssl.

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "provider/content_bytes.h"
#include "provider/crypt_error.h"
#include "provider/cryptoapi/certificate.h"
#include "provider/cryptoapi/factory.h"
#include "tests/support/failures.h"
#include "tests/support/windows_pki/windows_pki_import.h"

namespace orvane::provider {
namespace {

const std::filesystem::path pki_folder = ORVANE_WINDOWS_PKI;

void write_file(const std::filesystem::path& path, ByteView bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  ASSERT_TRUE(out.good()) << path;
}

std::unique_ptr<CertificateCollection> personal_certificates_with_key(Factory& factory) {
  auto store = factory.CreateStore();
  store->Open(StoreLocation::current_user, u"My");
  return store->Certificates()->Find(FindType::extended_property,
                                     FindCriterion(key_provider_info_property));
}

// A content of the code units of `text`, which must outlive it.
std::shared_ptr<const ByteSource> text_content(const Text& text) {
  return std::make_shared<MemorySource>(content_bytes(text));
}

TEST(CryptoapiSigning, SignsAttachedAndDetachedWithTheImportedKey) {
  testing::UserStoreImport imported;
  imported.import_pfx(pki_folder / "signer.pfx", testing::read_pfx_password(pki_folder));
  auto factory = cryptoapi::CryptoapiFactory();
  const auto with_key = personal_certificates_with_key(factory);
  ASSERT_EQ(with_key->Count(), 1);

  auto signer = factory.CreateSigner();
  signer->SetCertificate(with_key->Item(1));
  // 20:35:44 an hour east of UTC: the message must say 19:35:44 UTC.
  signer->AddAuthenticatedAttribute({AttributeName::signing_time, {2026, 12, 6, 20, 35, 44, 60}});
  auto signed_data = factory.CreateSignedData();
  const Text content = u"Orvane signs this: \u00e9\u20ac";
  signed_data->SetContent(text_content(content));

  const std::filesystem::path out = pki_folder / "signed";
  std::filesystem::create_directories(out);
  write_file(out / "content.bin", content_bytes(content));
  for (const Attachment attachment : {Attachment::attached, Attachment::detached}) {
    MemorySink message;
    signed_data->Sign(*signer, attachment, message);
    ASSERT_FALSE(message.bytes().empty());
    write_file(out / (attachment == Attachment::detached ? "detached.b64" : "attached.b64"),
               message.bytes());
  }
}

TEST(CryptoapiSigning, RefusesACertificateWithoutKeyAndAnUnboundSigner) {
  testing::UserStoreImport imported;
  imported.add_certificate(pki_folder / "expired.der");
  auto factory = cryptoapi::CryptoapiFactory();
  auto store = factory.CreateStore();
  store->Open(StoreLocation::current_user, u"My");
  const auto certificates = store->Certificates();
  ASSERT_GE(certificates->Count(), 1);
  auto signed_data = factory.CreateSignedData();
  MemorySink message;

  auto unbound = factory.CreateSigner();
  EXPECT_EQ(testing::failure_number([&] { unbound->GetCertificate(); }),
            crypt_error_number(CryptError::not_found));
  EXPECT_EQ(
      testing::failure_number([&] { signed_data->Sign(*unbound, Attachment::attached, message); }),
      crypt_error_number(CryptError::not_found));
  auto without_key = factory.CreateSigner();
  without_key->SetCertificate(certificates->Item(1));
  EXPECT_EQ(testing::failure_number(
                [&] { signed_data->Sign(*without_key, Attachment::attached, message); }),
            crypt_error_number(CryptError::no_key));
  EXPECT_TRUE(message.bytes().empty());
}

TEST(CryptoapiSigning, AKeyStorageProviderKeyThatIsNotThereIsNoKey) {
  const std::wstring container = L"orvane-no-such-key-" + std::to_wstring(::GetCurrentProcessId());
  CRYPT_KEY_PROV_INFO key{};
  key.pwszContainerName = const_cast<wchar_t*>(container.c_str());
  key.pwszProvName = const_cast<wchar_t*>(MS_KEY_STORAGE_PROVIDER);
  key.dwProvType = 0;
  testing::UserStoreImport imported;
  imported.add_certificate(pki_folder / "expired.der", &key);
  auto factory = cryptoapi::CryptoapiFactory();
  const auto with_key = personal_certificates_with_key(factory);
  ASSERT_EQ(with_key->Count(), 1);
  auto signer = factory.CreateSigner();
  signer->SetCertificate(with_key->Item(1));
  auto signed_data = factory.CreateSignedData();
  MemorySink message;
  EXPECT_EQ(
      testing::failure_number([&] { signed_data->Sign(*signer, Attachment::detached, message); }),
      crypt_error_number(CryptError::no_key));
}

// A persisted RSA key of the software key storage provider and a certificate bound to it
// with provider type 0, as Windows' own enrolment makes them; gone again with this object.
class KeyStorageProviderKey {
 public:
  KeyStorageProviderKey() : name_(L"orvane-test-" + std::to_wstring(::GetCurrentProcessId())) {
    if (::NCryptOpenStorageProvider(provider_.put(), MS_KEY_STORAGE_PROVIDER, 0) != 0) return;
    DWORD bits = 2048;
    DWORD usage = NCRYPT_ALLOW_SIGNING_FLAG;
    if (::NCryptCreatePersistedKey(provider_.get(), key_.put(), BCRYPT_RSA_ALGORITHM, name_.c_str(),
                                   0, NCRYPT_OVERWRITE_KEY_FLAG) != 0 ||
        ::NCryptSetProperty(key_.get(), NCRYPT_LENGTH_PROPERTY, reinterpret_cast<BYTE*>(&bits),
                            sizeof bits, 0) != 0 ||
        ::NCryptSetProperty(key_.get(), NCRYPT_KEY_USAGE_PROPERTY, reinterpret_cast<BYTE*>(&usage),
                            sizeof usage, 0) != 0 ||
        ::NCryptFinalizeKey(key_.get(), 0) != 0) {
      return;
    }
    // Wine 8 makes the key but keeps it nowhere: it cannot be opened again by its name.
    windows::NCryptKeyHandle reopened;
    persisted_ = ::NCryptOpenKey(provider_.get(), reopened.put(), name_.c_str(), 0, 0) == 0;
  }
  ~KeyStorageProviderKey() {
    // NCryptDeleteKey frees the handle too, when it succeeds.
    if (persisted_ && ::NCryptDeleteKey(key_.get(), 0) == 0) (void)key_.release();
  }
  KeyStorageProviderKey(const KeyStorageProviderKey&) = delete;
  KeyStorageProviderKey& operator=(const KeyStorageProviderKey&) = delete;

  bool persisted() const { return persisted_; }

  // A self-signed certificate over the key that names it by provider and key name.
  windows::CertificateContextHandle certificate() const {
    CRYPT_KEY_PROV_INFO info{};
    info.pwszContainerName = const_cast<wchar_t*>(name_.c_str());
    info.pwszProvName = const_cast<wchar_t*>(MS_KEY_STORAGE_PROVIDER);
    BYTE subject[256];
    CERT_NAME_BLOB name{sizeof subject, subject};
    if (!::CertStrToNameW(X509_ASN_ENCODING, L"CN=Orvane CNG Test Signer", CERT_X500_NAME_STR,
                          nullptr, subject, &name.cbData, nullptr)) {
      return {};
    }
    CRYPT_ALGORITHM_IDENTIFIER algorithm{const_cast<char*>(szOID_RSA_SHA256RSA), {}};
    return windows::CertificateContextHandle(::CertCreateSelfSignCertificate(
        key_.get(), &name, 0, &info, &algorithm, nullptr, nullptr, nullptr));
  }

 private:
  std::wstring name_;
  windows::NCryptProviderHandle provider_;
  windows::NCryptKeyHandle key_;
  bool persisted_ = false;
};

TEST(CryptoapiSigning, SignsWithAKeyStorageProviderKey) {
  const KeyStorageProviderKey key;
  if (!key.persisted()) {
    GTEST_SKIP() << "Wine 8's ncrypt keeps no persisted keys (NCryptOpenKey is a stub), and its "
                    "crypt32 neither acquires a key of provider type 0 nor signs messages with "
                    "an NCrypt key";
  }
  const windows::CertificateContextHandle certificate = key.certificate();
  ASSERT_TRUE(certificate);
  auto factory = cryptoapi::CryptoapiFactory();
  auto signer = factory.CreateSigner();
  signer->SetCertificate(std::make_shared<cryptoapi::CryptoapiCertificate>(
      windows::CertificateContextHandle(::CertDuplicateCertificateContext(certificate.get()))));
  auto signed_data = factory.CreateSignedData();
  const Text content = u"signed with a CNG key";
  signed_data->SetContent(text_content(content));
  const std::string text = text_to_utf8(sign_to_text(*signed_data, *signer, Attachment::attached));

  DWORD size = 0;
  ASSERT_TRUE(::CryptStringToBinaryA(text.c_str(), 0, CRYPT_STRING_BASE64, nullptr, &size, nullptr,
                                     nullptr));
  std::vector<BYTE> der(size);
  ASSERT_TRUE(::CryptStringToBinaryA(text.c_str(), 0, CRYPT_STRING_BASE64, der.data(), &size,
                                     nullptr, nullptr));
  CRYPT_VERIFY_MESSAGE_PARA verify{};
  verify.cbSize = sizeof verify;
  verify.dwMsgAndCertEncodingType = X509_ASN_ENCODING | PKCS_7_ASN_ENCODING;
  DWORD content_size = 0;
  EXPECT_TRUE(
      ::CryptVerifyMessageSignature(&verify, 0, der.data(), size, nullptr, &content_size, nullptr))
      << std::hex << ::GetLastError();
  EXPECT_EQ(content_size, content_bytes(content).size());
}

}  // namespace
}  // namespace orvane::provider
