#include "runtime/code_page.h"
#include "tests/signing/sign_fixture.h"
#include "tests/support/faulty_file_system.h"

namespace orvane::signing {
namespace {

class ServiceProvider : public SignTest {
 protected:
  void configure_serial(const Text& serial) const {
    configure("<SerialNumber>" + text_to_utf8(serial) + "</SerialNumber>");
  }
  // The content that the openssl command finds a detached signature to cover.
  std::optional<std::string> verifies_over(const Text& signature, const Text& content) const {
    return openssl_verify(der_file(signature, "sp.der"), utf16le(content));
  }
};

TEST_F(ServiceProvider, SignsAFilesWholeUntrimmedTextWithTheConfiguredCertificate) {
  configure_serial(pki.user.serial);
  for (const std::string text : {"  padded text \xE9  ", "\r\n", "\t"}) {
    write("data.txt", text);
    const Text signature = sign.ServiceProviderDS(text_path("data.txt"));
    // One character per byte, as the code page reads it.
    const Text read = decode_text(
        windows_1252(), ByteView(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
    EXPECT_TRUE(verifies_over(signature, read).has_value()) << text;
  }
  EXPECT_TRUE(log_entries().empty());
}

TEST_F(ServiceProvider, SignsAStringAndLeavesTheCallersTextAsItWas) {
  configure_serial(pki.ec_user.serial);
  const Text data = u" data \u4e2d ";
  const Text before = data;
  const Text signature = sign.GetServiceProviderDS(data);
  EXPECT_EQ(data, before);
  EXPECT_TRUE(verifies_over(signature, data).has_value());
  EXPECT_TRUE(verifies_over(sign.GetServiceProviderDS(Text()), Text()).has_value());
}

TEST_F(ServiceProvider, AChangedSerialNumberCountsFromTheNextCall) {
  configure_serial(pki.user.serial);
  ASSERT_NE(sign.GetServiceProviderDS(u"x"), u"-1");
  configure_serial(pki.expired.serial);
  EXPECT_EQ(sign.GetServiceProviderDS(u"x"), u"-1");
  // Why there is no signature stays with the answer, for hosts and the `orvane` command.
  EXPECT_EQ(sign.last_answer().outcome, Outcome::no_result);
  EXPECT_EQ(sign.last_answer().detail, Answer(Outcome::no_certificate).text());
  configure_serial(pki.ec_user.serial);
  EXPECT_NE(sign.GetServiceProviderDS(u"x"), u"-1");
  EXPECT_TRUE(sign.last_answer().succeeded());
}

TEST_F(ServiceProvider, FailuresThatAreNotLogged) {
  configure_serial(pki.user.serial);
  write("spaces.txt", "   ");
  write("empty.txt", "");
  EXPECT_EQ(sign.ServiceProviderDS(text_path("missing.txt")), u"-1");
  EXPECT_EQ(sign.ServiceProviderDS(text_path("spaces.txt")), u"-1");
  EXPECT_EQ(sign.ServiceProviderDS(text_path("empty.txt")), u"-1");
  EXPECT_EQ(sign.ServiceProviderDS(Text()), u"-1");
  EXPECT_EQ(sign.ServiceProviderDS(Variant()), u"-1");

  configure_serial(u"");
  EXPECT_EQ(sign.GetServiceProviderDS(u"x"), u"-1");
  configure("");
  EXPECT_EQ(sign.GetServiceProviderDS(u"x"), u"-1");
  configure_serial(u"0BADC0DE");
  EXPECT_EQ(sign.GetServiceProviderDS(u"x"), u"-1");
  EXPECT_TRUE(log_entries().empty());
}

TEST_F(ServiceProvider, ANullPathIsLoggedOnce) {
  configure_serial(pki.user.serial);
  EXPECT_EQ(sign.ServiceProviderDS(Variant::null()), u"-1");
  EXPECT_EQ(log_entries(),
            std::vector<std::string>{"Orvane.Dll : ServiceProviderDS = -1Invalid use of Null"});
}

TEST_F(ServiceProvider, InnerFailuresAreLoggedOnlyByTheMethodThatMetThem) {
  // The signer's chain ends in a root nobody trusts: Signfile's self-verification fails.
  std::filesystem::copy_file(pki.untrusted_root.certificate,
                             pki.store_root / "CA" / "untrusted-root.pem");
  configure_serial(pki.untrusted_user.serial);
  write("data.txt", "text");
  EXPECT_EQ(sign.ServiceProviderDS(text_path("data.txt")), u"-1");
  EXPECT_EQ(log_entries(),
            std::vector<std::string>{
                "Err Description: A certificate chain processed, but terminated in a "
                "root certificate which is not trusted by the trust provider."});
}

TEST_F(ServiceProvider, AFailingSerialNumberReadIsLoggedByGetSerialNo) {
  auto files = std::make_shared<testing::FaultyFileSystem>(test.platform.files);
  Platform faulty = test.platform;
  faulty.files = files;
  Sign faulty_sign(faulty, provider::default_factory(pki.store_root));
  configure_serial(pki.user.serial);
  files->fail_file_exists(1, RuntimeError::device_io_error);
  EXPECT_EQ(faulty_sign.GetServiceProviderDS(u"x"), u"-1");
  EXPECT_EQ(log_entries(), std::vector<std::string>{"Orvane.Dll : GetSerialNO : Device I/O error"});
}

}  // namespace
}  // namespace orvane::signing
