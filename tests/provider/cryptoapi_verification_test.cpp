// Verification with the CryptoAPI back end under Wine: messages that openssl made over known
// content (RSA and ECDSA, with and without signed attributes, of a few MiB, streamed with
// indefinite lengths), messages of this back end, and signers that only the certificate check
// refuses. The test PKI's root is trusted for the whole run.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "provider/base64.h"
#include "provider/content_bytes.h"
#include "provider/crypt_error.h"
#include "provider/cryptoapi/factory.h"
#include "tests/support/failures.h"
#include "tests/support/windows_pki/windows_pki_import.h"

namespace orvane::provider {
namespace {

const std::filesystem::path pki_folder = ORVANE_WINDOWS_PKI;
const Text signer_serial = u"00A1B2C3D4";

Bytes pki_bytes(const char* name) {
  const std::vector<BYTE> bytes = testing::read_pki_file(pki_folder / name);
  return Bytes(bytes.begin(), bytes.end());
}

std::int32_t number(CryptError error) {
  return crypt_error_number(error);
}

// What an attached message carried, as it passed.
class CollectedContent final : public ContentSink {
 public:
  void restart() override { bytes.clear(); }
  void write(ByteView more) override { bytes.insert(bytes.end(), more.begin(), more.end()); }
  Bytes bytes;
};

// A content that counts how often it is read.
class CountedContent final : public ByteSource {
 public:
  explicit CountedContent(ByteView bytes) : bytes_(bytes) {}
  std::uint64_t size() const override { return bytes_.size(); }
  std::unique_ptr<ByteReader> open() const override {
    ++readings;
    return std::make_unique<MemoryReader>(bytes_);
  }
  mutable int readings = 0;

 private:
  ByteView bytes_;
};

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

  // The failure number of verifying `message` (DER, passed as its Base64 lines) against
  // `detached` when given, else as an attached message whose content goes to `carried`.
  std::int32_t verify(const Bytes& message, const Bytes* detached = nullptr,
                      CollectedContent* carried = nullptr) {
    last = factory.CreateSignedData();
    if (detached != nullptr) last->SetContent(std::make_shared<MemorySource>(*detached));
    const Text text = base64_lines(message);
    return testing::failure_number([&] {
      last->Verify(MemoryMessage(text), detached ? Attachment::detached : Attachment::attached,
                   carried);
    });
  }

  static testing::UserStoreImport* trusted_root;
  cryptoapi::CryptoapiFactory factory;
  std::unique_ptr<SignedData> last;
  const Bytes content = pki_bytes("content.txt");
};

testing::UserStoreImport* CryptoapiVerificationTest::trusted_root = nullptr;

TEST_F(CryptoapiVerificationTest, OpensslMessagesVerifyAndAttachedContentComesBackByteForByte) {
  CollectedContent carried;
  ASSERT_EQ(verify(pki_bytes("openssl-attached.der"), nullptr, &carried), 0);
  ASSERT_EQ(content.size() % 2, 1u);
  EXPECT_EQ(carried.bytes, content);
  EXPECT_EQ(last->Signers(1)->GetCertificate()->SerialNumber(), signer_serial);
  EXPECT_EQ(testing::failure_number([&] { last->Signers(2); }), number(CryptError::invalid_index));

  const Bytes detached = pki_bytes("openssl-detached.der");
  EXPECT_EQ(verify(detached, &content), 0);
  Bytes other_content = content;
  other_content[3] ^= 0x01;
  EXPECT_EQ(verify(detached, &other_content), number(CryptError::hash_value));
  EXPECT_EQ(testing::failure_number([&] { last->Signers(1); }), number(CryptError::invalid_index));

  // Without signed attributes there is no digest to compare: the signature itself must fail.
  const Bytes without_attributes = pki_bytes("openssl-detached-noattr.der");
  EXPECT_EQ(verify(without_attributes, &content), 0);
  EXPECT_EQ(verify(without_attributes, &other_content), number(CryptError::bad_signature));
}

// Messages of several kinds of signer, each also with its signature (the last field of the last
// signer) changed: RSA and ECDSA, with signed attributes and over the content's digest itself.
TEST_F(CryptoapiVerificationTest, RsaAndEcdsaSignaturesAreCheckedWithAndWithoutAttributes) {
  for (const char* name : {"openssl-attached.der", "openssl-attached-noattr.der", "ec-attached.der",
                           "ec-attached-noattr.der"}) {
    SCOPED_TRACE(name);
    Bytes message = pki_bytes(name);
    CollectedContent carried;
    EXPECT_EQ(verify(message, nullptr, &carried), 0);
    EXPECT_EQ(carried.bytes, content);
    message.back() ^= 0x01;
    EXPECT_EQ(verify(message), number(CryptError::bad_signature));
  }
}

// Wine's crypt32 checks the signature over the signed attributes but never compares the
// content with their messageDigest: the back end must.
TEST_F(CryptoapiVerificationTest, AttachedMessageWithContentAlteredInPlaceFails) {
  const Bytes message = pki_bytes("openssl-attached.der");
  const auto at = std::search(message.begin(), message.end(), content.begin(), content.end());
  ASSERT_NE(at, message.end());
  Bytes other_content = message;
  other_content[static_cast<std::size_t>(at - message.begin()) + 3] ^= 0x01;
  EXPECT_EQ(verify(other_content), number(CryptError::hash_value));
}

// Messages larger than the pieces they pass in, and one as `openssl cms -stream` writes it: BER
// with indefinite lengths and the content in pieces, which Wine's own decoder refuses.
TEST_F(CryptoapiVerificationTest, MessagesOfSeveralMiBAndStreamedOnesVerifyAsTheyPass) {
  const Bytes large = pki_bytes("large.txt");
  for (const char* name : {"large-attached.der", "streamed-attached.der"}) {
    SCOPED_TRACE(name);
    Bytes message = pki_bytes(name);
    CollectedContent carried;
    EXPECT_EQ(verify(message, nullptr, &carried), 0);
    EXPECT_TRUE(carried.bytes == large);
    // Far into the content, past the first pieces.
    const auto line = large.begin() + static_cast<std::ptrdiff_t>(large.size() / 2);
    const auto at = std::search(message.begin() + static_cast<std::ptrdiff_t>(large.size() / 3),
                                message.end(), line, line + 40);
    ASSERT_NE(at, message.end());
    *at ^= 0x01;
    EXPECT_EQ(verify(message), number(CryptError::hash_value));
  }
}

TEST_F(CryptoapiVerificationTest, OwnMessagesVerifyAndTheSelfCheckUsesTheSignaturesDigest) {
  testing::UserStoreImport imported;
  imported.import_pfx(pki_folder / "signer.pfx", testing::read_pfx_password(pki_folder));
  auto store = factory.CreateStore();
  store->Open(StoreLocation::current_user, u"My");
  auto signer = factory.CreateSigner();
  signer->SetCertificate(
      store->Certificates()
          ->Find(FindType::extended_property, FindCriterion(key_provider_info_property))
          ->Item(1));

  const Text text = u"Orvane verifies this: \u00e9\u20ac";
  const auto source = std::make_shared<CountedContent>(content_bytes(text));
  auto signing = factory.CreateSignedData();
  signing->SetContent(source);
  const Text attached = sign_to_text(*signing, *signer, Attachment::attached);
  const Text detached = sign_to_text(*signing, *signer, Attachment::detached);

  // Right after signing, the detached check needs no second reading of the content.
  const int readings = source->readings;
  EXPECT_NO_THROW(signing->Verify(MemoryMessage(detached), Attachment::detached));
  EXPECT_EQ(source->readings, readings);
  // Set again, the content is read again.
  signing->SetContent(source);
  EXPECT_NO_THROW(signing->Verify(MemoryMessage(detached), Attachment::detached));
  EXPECT_EQ(source->readings, readings + 1);

  auto verifying = factory.CreateSignedData();
  CollectedContent carried;
  verifying->Verify(MemoryMessage(attached), Attachment::attached, &carried);
  EXPECT_TRUE(std::ranges::equal(carried.bytes, content_bytes(text)));
  EXPECT_EQ(verifying->Signers(1)->GetCertificate()->SerialNumber(), signer_serial);
  const Text other = text + u".";
  verifying->SetContent(std::make_shared<MemorySource>(content_bytes(other)));
  EXPECT_EQ(testing::failure_number(
                [&] { verifying->Verify(MemoryMessage(detached), Attachment::detached); }),
            number(CryptError::hash_value));
}

TEST_F(CryptoapiVerificationTest, SignersThatOnlyTheCertificateCheckRefuses) {
  EXPECT_EQ(verify(pki_bytes("untrusted-attached.der")), number(CryptError::untrusted_root));
  // Wine's base policy passes a chain that stops short of any root; its status does not.
  EXPECT_EQ(verify(pki_bytes("partial-attached.der")), number(CryptError::chaining));
  EXPECT_EQ(verify(pki_bytes("expired-attached.der")), number(CryptError::expired));
  // The chain holds; the signer policy refuses a certificate that is not for signing, and takes
  // an organisation's own purpose for one.
  for (const char* refused : {"encipherment-attached.der", "other-purposes-attached.der"}) {
    EXPECT_EQ(verify(pki_bytes(refused)), number(CryptError::wrong_usage)) << refused;
  }
  EXPECT_EQ(verify(pki_bytes("private-purpose-attached.der")), 0);
}

}  // namespace
}  // namespace orvane::provider
