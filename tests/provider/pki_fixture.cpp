#include "tests/provider/pki_fixture.h"

#include "provider/content_bytes.h"
#include "runtime/failure.h"

namespace orvane::testing {

using namespace provider;

std::unique_ptr<Signer> PkiTest::signer_for(const Text& serial, const LocalDateTime& signing_time) {
  auto store = factory->CreateStore();
  store->Open(StoreLocation::current_user, u"My", StoreOpenMode::read_only);
  const auto certificates = store->Certificates();
  auto signer = factory->CreateSigner();
  for (std::int32_t i = 1; i <= certificates->Count(); ++i) {
    if (certificates->Item(i)->SerialNumber() == serial) {
      signer->SetCertificate(certificates->Item(i));
      signer->AddAuthenticatedAttribute({AttributeName::signing_time, signing_time});
      return signer;
    }
  }
  ADD_FAILURE() << "no certificate " << text_to_utf8(serial);
  return signer;
}

Text PkiTest::sign(const Text& serial, const Text& content, bool detached) {
  const auto signer = signer_for(serial);
  const auto signed_data = factory->CreateSignedData();
  signed_data->SetContent(content);
  return signed_data->Sign(*signer, detached, detached ? Encoding::any : Encoding::binary);
}

std::unique_ptr<SignedData> PkiTest::verify(const Text& message,
                                            std::optional<Text> detached_content) {
  auto signed_data = factory->CreateSignedData();
  if (detached_content) signed_data->SetContent(*detached_content);
  signed_data->Verify(message, detached_content.has_value(), VerifyFlag::signature_and_certificate);
  return signed_data;
}

::testing::AssertionResult fails_with(CryptError error, const std::function<void()>& call) {
  const std::int32_t number = failure_number(call);
  if (number == crypt_error_number(error) && failure_text(call) == crypt_error_text(error)) {
    return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure()
         << "failed with " << number << " instead of " << crypt_error_number(error);
}

std::string utf16le_file(const Text& text) {
  return as_string(content_bytes(text));
}

std::string as_string(ByteView bytes) {
  return std::string(bytes.begin(), bytes.end());
}

}  // namespace orvane::testing
