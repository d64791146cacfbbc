#include "tests/provider/pki_fixture.h"

#include "provider/content_bytes.h"
#include "runtime/failure.h"
#include "tests/provider/signed_text.h"

namespace orvane::testing {

using namespace provider;

std::unique_ptr<Signer> PkiTest::signer_for(const Text& serial, const LocalDateTime& signing_time) {
  auto store = factory->CreateStore();
  store->Open(StoreLocation::current_user, u"My");
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
  return sign_text(*signed_data, *signer, content,
                   detached ? Attachment::detached : Attachment::attached);
}

PkiTest::Verified PkiTest::verify(const Text& message, std::optional<Text> detached_content) {
  Verified verified{factory->CreateSignedData(), {}};
  verified.content = verify_text(*verified.signed_data, message, detached_content);
  return verified;
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
