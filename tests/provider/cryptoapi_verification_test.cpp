// Verification with the CryptoAPI back end under Wine: messages that openssl made over known
// content, messages of this back end, and signers that only the certificate check refuses. The
// test PKI's root is trusted for the whole run.

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <string>

#include "provider/base64.h"
#include "provider/content_bytes.h"
#include "provider/crypt_error.h"
#include "provider/cryptoapi/factory.h"
#include "provider/serial_number.h"
#include "tests/provider/windows_pki/windows_pki_import.h"
#include "tests/support/failures.h"

namespace orvane::provider {
namespace {

const std::filesystem::path pki_folder = ORVANE_WINDOWS_PKI;
const Text signer_serial = u"00A1B2C3D4";

Bytes pki_bytes(const char* name) {
  const std::vector<BYTE> bytes = testing::read_pki_file(pki_folder / name);
  return Bytes(bytes.begin(), bytes.end());
}

// The failure number that `call` threw; 0 when it threw none.
std::int32_t code_of(const std::function<void()>& call) {
  return testing::failure_number(call);
}

std::int32_t number(CryptError error) {
  return crypt_error_number(error);
}

class CryptoapiVerificationTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    trusted_root = new testing::UserStoreImport(L"Root");
    trusted_root->add_certificate(pki_folder / "root.der");
  }
  static void TearDownTestSuite() {
    delete trusted_root;
    trusted_root = nullptr;
  }

  // A signed-data object that verified `message` (DER), against `detached` when given.
  std::unique_ptr<SignedData> verify(const Bytes& message, VerifyFlag flag,
                                     const Bytes* detached = nullptr) {
    auto signed_data = factory.CreateSignedData();
    if (detached != nullptr) {
      signed_data->SetContentBytes(text_from_content_bytes(*detached), detached->size());
    }
    signed_data->Verify(base64_lines(message), detached != nullptr, flag);
    return signed_data;
  }

  static testing::UserStoreImport* trusted_root;
  cryptoapi::CryptoapiFactory factory;
  const Bytes content = pki_bytes("content.txt");
};

testing::UserStoreImport* CryptoapiVerificationTest::trusted_root = nullptr;

TEST_F(CryptoapiVerificationTest, OpensslMessagesVerifyAndAttachedContentComesBackByteForByte) {
  const auto attached =
      verify(pki_bytes("openssl-attached.der"), VerifyFlag::signature_and_certificate);
  ASSERT_EQ(content.size() % 2, 1u);
  EXPECT_EQ(attached->Content(), text_from_content_bytes(content));

  const auto signer = attached->Signers(1);
  const auto chain = signer->Chain();
  // The signer, the intermediate that the message carried, and the trusted root.
  EXPECT_EQ(chain->Count(), 3);
  EXPECT_EQ(chain->Item(1)->SerialNumber(), signer_serial);
  EXPECT_EQ(code_of([&] { attached->Signers(2); }), number(CryptError::invalid_index));

  const Bytes detached = pki_bytes("openssl-detached.der");
  EXPECT_NO_THROW(verify(detached, VerifyFlag::signature_and_certificate, &content));
  Bytes other_content = content;
  other_content[3] ^= 0x01;
  EXPECT_EQ(
      code_of([&] { verify(detached, VerifyFlag::signature_and_certificate, &other_content); }),
      number(CryptError::hash_value));

  // Without signed attributes there is no digest to compare: the signature itself must fail.
  const Bytes without_attributes = pki_bytes("openssl-detached-noattr.der");
  EXPECT_NO_THROW(verify(without_attributes, VerifyFlag::signature_and_certificate, &content));
  EXPECT_EQ(code_of([&] {
              verify(without_attributes, VerifyFlag::signature_and_certificate, &other_content);
            }),
            number(CryptError::bad_signature));
}

// Wine's crypt32 checks the signature over the signed attributes but never compares the
// content with their messageDigest: the back end must.
TEST_F(CryptoapiVerificationTest, AttachedMessageWithContentAlteredInPlaceFails) {
  const Bytes message = pki_bytes("openssl-attached.der");
  const auto at = std::search(message.begin(), message.end(), content.begin(), content.end());
  ASSERT_NE(at, message.end());
  Bytes other_content = message;
  other_content[static_cast<std::size_t>(at - message.begin()) + 3] ^= 0x01;
  for (const VerifyFlag flag :
       {VerifyFlag::signature_only, VerifyFlag::signature_and_certificate}) {
    EXPECT_EQ(code_of([&] { verify(other_content, flag); }), number(CryptError::hash_value));
  }
  // The signature is the last field of the last signer.
  Bytes other_signature = message;
  other_signature.back() ^= 0x01;
  EXPECT_EQ(code_of([&] { verify(other_signature, VerifyFlag::signature_only); }),
            number(CryptError::bad_signature));
}

TEST_F(CryptoapiVerificationTest, OwnMessagesVerifyAttachedAndDetached) {
  testing::UserStoreImport imported;
  std::ifstream password_file(pki_folder / "pfx-password.txt");
  std::string password;
  std::getline(password_file, password);
  imported.import_pfx(pki_folder / "signer.pfx", std::wstring(password.begin(), password.end()));
  auto store = factory.CreateStore();
  store->Open(StoreLocation::current_user, u"My", StoreOpenMode::read_only);
  auto signer = factory.CreateSigner();
  signer->SetCertificate(
      store->Certificates()
          ->Find(FindType::extended_property, FindCriterion(key_provider_info_property), true)
          ->Item(1));

  const Text text = u"Orvane verifies this: \u00e9\u20ac";
  auto signing = factory.CreateSignedData();
  signing->SetContent(text);
  const Text attached = signing->Sign(*signer, false, Encoding::binary);
  const Text detached = signing->Sign(*signer, true, Encoding::any);

  auto verifying = factory.CreateSignedData();
  verifying->Verify(attached, false, VerifyFlag::signature_and_certificate);
  EXPECT_EQ(verifying->Content(), text);
  EXPECT_EQ(verifying->Signers(1)->Chain()->Item(1)->SerialNumber(), signer_serial);
  verifying->SetContent(text);
  EXPECT_NO_THROW(verifying->Verify(detached, true, VerifyFlag::signature_and_certificate));
  verifying->SetContent(text + u".");
  EXPECT_EQ(code_of([&] { verifying->Verify(detached, true, VerifyFlag::signature_only); }),
            number(CryptError::hash_value));
}

TEST_F(CryptoapiVerificationTest, SignersThatOnlyTheCertificateCheckRefuses) {
  const Bytes untrusted = pki_bytes("untrusted-attached.der");
  EXPECT_EQ(verify(untrusted, VerifyFlag::signature_only)->Content(),
            text_from_content_bytes(content));
  EXPECT_EQ(code_of([&] { verify(untrusted, VerifyFlag::signature_and_certificate); }),
            number(CryptError::untrusted_root));

  // Wine's base policy passes a chain that stops short of any root; its status does not.
  const Bytes partial = pki_bytes("partial-attached.der");
  EXPECT_NO_THROW(verify(partial, VerifyFlag::signature_only));
  EXPECT_EQ(code_of([&] { verify(partial, VerifyFlag::signature_and_certificate); }),
            number(CryptError::chaining));

  const Bytes expired = pki_bytes("expired-attached.der");
  EXPECT_NO_THROW(verify(expired, VerifyFlag::signature_only));
  EXPECT_EQ(code_of([&] { verify(expired, VerifyFlag::signature_and_certificate); }),
            number(CryptError::expired));

  // The chain holds; the signer policy refuses a certificate that is not for signing, and takes
  // an organisation's own purpose for one.
  for (const char* refused : {"encipherment-attached.der", "other-purposes-attached.der"}) {
    EXPECT_EQ(code_of([&] { verify(pki_bytes(refused), VerifyFlag::signature_and_certificate); }),
              number(CryptError::wrong_usage))
        << refused;
  }
  EXPECT_NO_THROW(
      verify(pki_bytes("private-purpose-attached.der"), VerifyFlag::signature_and_certificate));

  // A validating search keeps what a verification with the certificate check would accept.
  testing::UserStoreImport imported;
  imported.add_certificate(pki_folder / "intermediate.der");
  imported.add_certificate(pki_folder / "signer.der");
  imported.add_certificate(pki_folder / "untrusted.der");
  auto store = factory.CreateStore();
  store->Open(StoreLocation::current_user, u"My", StoreOpenMode::read_only);
  const auto untrusted_serial = certificate_serial_number(pki_bytes("untrusted.der"));
  ASSERT_TRUE(untrusted_serial);
  const auto serials = [&](bool valid_only) {
    const auto found = store->Certificates()->Find(
        FindType::time_valid, FindCriterion(LocalDateTime{2030, 1, 1, 0, 0, 0, 0}), valid_only);
    std::vector<Text> result;
    for (std::int32_t i = 1; i <= found->Count(); ++i) {
      const Text serial = found->Item(i)->SerialNumber();
      if (serial == signer_serial || serial == *untrusted_serial) result.push_back(serial);
    }
    std::sort(result.begin(), result.end());
    return result;
  };
  std::vector<Text> both{signer_serial, *untrusted_serial};
  std::sort(both.begin(), both.end());
  EXPECT_EQ(serials(false), both);
  EXPECT_EQ(serials(true), std::vector<Text>{signer_serial});
}

}  // namespace
}  // namespace orvane::provider
