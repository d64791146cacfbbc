// Signatures timestamped by a real authority (openssl ts on 127.0.0.1, started by ctest), on
// whichever back end the platform has.
#include <cstdlib>
#include <ctime>
#include <fstream>

#include "provider/base64.h"
#include "provider/crypt_error.h"
#include "tests/provider/der_edit.h"
#include "tests/signing/sign_fixture.h"

#ifdef _WIN32
#include "tests/support/windows_pki/windows_pki_import.h"
#endif

namespace orvane::signing {
namespace {

namespace fs = std::filesystem;

fs::path authority_folder() {
  const char* folder = std::getenv("ORVANE_TEST_TSA");
  return folder != nullptr ? fs::path(folder) : fs::path();
}

std::string authority_url() {
  std::ifstream file(authority_folder() / "url");
  std::string url;
  std::getline(file, url);
  return url;
}

// A moment in UTC, `days` from now.
LocalDateTime days_from_now(int days) {
  const std::time_t moment = std::time(nullptr) + std::time_t{days} * 86400;
  std::tm fields{};
#ifdef _WIN32
  gmtime_s(&fields, &moment);
#else
  gmtime_r(&moment, &fields);
#endif
  return {fields.tm_year + 1900,
          fields.tm_mon + 1,
          fields.tm_mday,
          fields.tm_hour,
          fields.tm_min,
          fields.tm_sec,
          0};
}

// The message `der` with every signer info's unsigned attributes changed by `change`: [1] and
// its content, or nothing to drop them.
Text with_unsigned_attributes(
    const Bytes& der, const std::function<void(std::vector<testing::DerElement>&)>& change) {
  auto fields = testing::signed_data_fields(der);
  auto signers = testing::der_elements(fields.back().content);
  for (auto& signer : signers) {
    auto parts = testing::der_elements(signer.content);
    change(parts);
    signer.content = testing::der_concatenate(parts);
  }
  fields.back().content = testing::der_concatenate(signers);
  return provider::base64_lines(testing::with_signed_data_fields(der, fields));
}

class Timestamps : public SignTest {
 protected:
  Timestamps() {
    if (authority_url().empty()) return;
#ifdef _WIN32
    trusted_.add_certificate(authority_folder() / "root.der");
#else
    fs::copy_file(authority_folder() / "root.pem", pki.store_root / "Root" / "tsa-root.pem");
#endif
  }

  void SetUp() override {
    if (authority_url().empty()) GTEST_SKIP() << "no time-stamping authority: run through ctest";
  }

  void use_authority(const std::string& path, const std::string& more = {}) const {
    configure("<TimestampURL>" + authority_url() + path + "</TimestampURL>" + more);
  }

  Bytes message_der(const std::string& file) const {
    const auto der = provider::decode_base64_text(text_from_utf8(testing::read_file(path(file))));
    EXPECT_TRUE(der.has_value());
    return der.value_or(Bytes{});
  }

#ifdef _WIN32
  testing::UserStoreImport trusted_{L"Root"};
#endif
};

TEST_F(Timestamps, ASignatureStillVerifiesAfterItsSignerExpiredAndOnlyWithItsToken) {
  use_authority("/good");
  write("report.pdf", "the report\r\n");
  ASSERT_EQ(sign_file("report.pdf", pki.user.serial, false).first, u"success");
  ASSERT_EQ(sign_file("report.pdf", pki.user.serial, true, u".sig").first, u"success");
  const Bytes attached = message_der("report_Signature.txt");
  const Bytes detached = message_der("report.sig");

  // Ten years on, the signer's certificate and its chain have expired; the authority's has not.
  test.clock->set(days_from_now(3660));
  const auto verify_both = [&] {
    Variant restored = text_path("restored.xyz");
    Variant signature = text_path("report.sig");
    return std::vector<Text>{
        sign.Verify(text_path("report_Signature.txt"), restored, vb_false, pki.user.serial),
        sign.Verify(text_path("report.pdf"), signature, vb_true, pki.user.serial)};
  };
  EXPECT_EQ(verify_both(), (std::vector<Text>{u"success", u"success"}));
  EXPECT_EQ(testing::read_file(path("restored.pdf")), "the report\r\n");

  // Without the token the signature is judged now, when the signer has expired.
  const auto without_token = [](std::vector<testing::DerElement>& parts) {
    ASSERT_EQ(parts.back().tag, 0xA1);
    parts.pop_back();
  };
  write("report_Signature.txt", text_to_utf8(with_unsigned_attributes(attached, without_token)));
  write("report.sig", text_to_utf8(with_unsigned_attributes(detached, without_token)));
  const Text expired =
      answers::signing_error + provider::crypt_error_text(provider::CryptError::expired);
  EXPECT_EQ(verify_both(), (std::vector<Text>{expired, answers::not_valid}));

  // A token whose signature was altered proves nothing: the message is not valid, even now.
  test.clock->set(days_from_now(0));
  const auto altered_token = [](std::vector<testing::DerElement>& parts) {
    parts.back().content.back() ^= 0x01;
  };
  write("report_Signature.txt", text_to_utf8(with_unsigned_attributes(attached, altered_token)));
  write("report.sig", text_to_utf8(with_unsigned_attributes(detached, altered_token)));
  const Text bad_token =
      answers::signing_error + provider::crypt_error_text(provider::CryptError::time_stamp);
  EXPECT_EQ(verify_both(), (std::vector<Text>{bad_token, answers::not_valid}));
}

TEST_F(Timestamps, AnAuthorityThatMisbehavesFailsTheSignatureWritesNothingAndIsLogged) {
  write("report.pdf", "the report\r\n");
  configure("<SerialNumber>" + text_to_utf8(pki.user.serial) + "</SerialNumber>");
  for (const std::string path : {"/wrong-nonce", "/untrusted"}) {
    use_authority(path, "<SerialNumber>" + text_to_utf8(pki.user.serial) + "</SerialNumber>");
    const Text prefix =
        u"Err Description: " + provider::crypt_error_text(provider::CryptError::time_stamp);
    EXPECT_EQ(sign_file("report.pdf", pki.user.serial, false).first.substr(0, prefix.size()),
              prefix)
        << path;
    EXPECT_EQ(sign.GetServiceProviderDS(u"data"), u"-1") << path;
    EXPECT_EQ(work_files(), std::vector<std::string>{"report.pdf"}) << path;
  }
  EXPECT_EQ(log_entries().size(), 4u);
}

}  // namespace
}  // namespace orvane::signing
