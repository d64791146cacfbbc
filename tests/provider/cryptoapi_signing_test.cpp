// Signing with the CryptoAPI back end under Wine. The messages go to windows_pki/signed/,
// where check_cryptoapi_messages.sh verifies them with the host's openssl.

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "provider/content_bytes.h"
#include "provider/crypt_error.h"
#include "provider/cryptoapi/factory.h"
#include "tests/provider/windows_pki/windows_pki_import.h"
#include "tests/support/failures.h"

namespace orvane::provider {
namespace {

const std::filesystem::path pki_folder = ORVANE_WINDOWS_PKI;

std::wstring pfx_password() {
  std::ifstream in(pki_folder / "pfx-password.txt");
  std::string password;
  std::getline(in, password);
  return std::wstring(password.begin(), password.end());
}

void write_file(const std::filesystem::path& path, ByteView bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  ASSERT_TRUE(out.good()) << path;
}

TEST(CryptoapiSigning, SignsAttachedAndDetachedWithTheImportedKey) {
  testing::UserStoreImport imported;
  imported.import_pfx(pki_folder / "signer.pfx", pfx_password());
  auto factory = cryptoapi::CryptoapiFactory();
  auto store = factory.CreateStore();
  store->Open(StoreLocation::current_user, u"My", StoreOpenMode::read_only);
  const auto with_key = store->Certificates()->Find(
      FindType::extended_property, FindCriterion(key_provider_info_property), false);
  ASSERT_EQ(with_key->Count(), 1);

  auto signer = factory.CreateSigner();
  signer->SetCertificate(with_key->Item(1));
  // 20:35:44 an hour east of UTC: the message must say 19:35:44 UTC.
  signer->AddAuthenticatedAttribute({AttributeName::signing_time, {2026, 12, 6, 20, 35, 44, 60}});
  auto signed_data = factory.CreateSignedData();
  signed_data->SetContent(u"Orvane signs this: \u00e9\u20ac");

  const std::filesystem::path out = pki_folder / "signed";
  std::filesystem::create_directories(out);
  write_file(out / "content.bin", content_bytes(signed_data->Content()));
  for (const bool detached : {false, true}) {
    const Text message = signed_data->Sign(*signer, detached, Encoding::base64);
    ASSERT_FALSE(message.empty());
    const std::string text = text_to_utf8(message);
    write_file(out / (detached ? "detached.b64" : "attached.b64"),
               ByteView(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
  }
}

TEST(CryptoapiSigning, RefusesACertificateWithoutKeyAndAnUnboundSigner) {
  testing::UserStoreImport imported;
  imported.add_certificate(pki_folder / "expired.der");
  auto factory = cryptoapi::CryptoapiFactory();
  auto store = factory.CreateStore();
  store->Open(StoreLocation::current_user, u"My", StoreOpenMode::read_only);
  const auto certificates = store->Certificates();
  ASSERT_GE(certificates->Count(), 1);
  auto signed_data = factory.CreateSignedData();
  signed_data->SetContent(u"x");

  auto unbound = factory.CreateSigner();
  EXPECT_EQ(testing::failure_number([&] { signed_data->Sign(*unbound, false, Encoding::any); }),
            crypt_error_number(CryptError::not_found));
  auto without_key = factory.CreateSigner();
  without_key->SetCertificate(certificates->Item(1));
  EXPECT_EQ(testing::failure_number([&] { signed_data->Sign(*without_key, false, Encoding::any); }),
            crypt_error_number(CryptError::no_key));
}

}  // namespace
}  // namespace orvane::provider
