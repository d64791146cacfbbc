#include <algorithm>
#include <ctime>

#include "runtime/code_page.h"
#include "signing/verification_policy.h"
#include "tests/signing/sign_fixture.h"
#include "tests/support/faulty_file_system.h"

namespace orvane::signing {
namespace {

namespace fs = std::filesystem;

const std::string report_text = "Quarterly report \x80 caf\xE9\r\nline 2 ends in 42";

class Signfile : public SignTest {};

TEST_F(Signfile, ACallersSuffixIsUsedAsItIs) {
  write("report.pdf", report_text);
  const auto [answer, extension] = sign_file("report.pdf", pki.user.serial, true, u".p7s");
  EXPECT_EQ(answer, u"success");
  EXPECT_EQ(extension, u".p7s");
  EXPECT_TRUE(fs::exists(path("report.p7s")));
}

TEST_F(Signfile, NeverWritesTheSignatureOverTheFileItSigns) {
  write("report.pdf", report_text);
  for (const bool detached : {true, false}) {
    const auto [answer, extension] = sign_file("report.pdf", pki.user.serial, detached, u".pdf");
    EXPECT_EQ(answer, u"Err Description: Path/File access error");
    EXPECT_EQ(testing::read_file(path("report.pdf")), report_text);
  }
  EXPECT_EQ(work_files(), std::vector<std::string>{"report.pdf"});
}

TEST_F(Signfile, AnExistingSignatureFileIsReplacedWhole) {
  write("report.pdf", report_text);
  write("report_Signature.txt", std::string(100'000, 'x'));
  EXPECT_EQ(sign_file("report.pdf", pki.user.serial, true).first, u"success");
  const std::string written = testing::read_file(path("report_Signature.txt"));
  EXPECT_LT(written.size(), 10'000u);
  der_file(text_from_utf8(written), "r.der");  // Base64 of a whole message
  EXPECT_EQ(work_files(), (std::vector<std::string>{"report.pdf", "report_Signature.txt"}));
}

TEST_F(Signfile, AFailedWriteLeavesTheEarlierSignatureFileAndNothingPartial) {
  auto files = std::make_shared<testing::FaultyFileSystem>(test.platform.files);
  Platform faulty = test.platform;
  faulty.files = files;
  Sign faulty_sign(faulty, provider::default_factory(pki.store_root));
  write("report.pdf", report_text);
  write("report_Signature.txt", "earlier signature");
  files->fail_writes(RuntimeError::disk_full);
  Variant input = text_path("report.pdf");
  Text extension;
  EXPECT_EQ(faulty_sign.Signfile(input, pki.user.serial, vb_true, extension),
            u"Err Description: Disk full");
  EXPECT_EQ(extension, u"_Signature.txt");
  EXPECT_EQ(testing::read_file(path("report_Signature.txt")), "earlier signature");
  EXPECT_EQ(work_files(), (std::vector<std::string>{"report.pdf", "report_Signature.txt"}));
  EXPECT_NE(log().find(" - Orvane.dll : Err Description: Disk full\r\n"), std::string::npos);
}

TEST_F(Signfile, AFileThatCannotBeReadIsLoggedWithTheRuntimesText) {
  const auto [answer, extension] = sign_file("missing.pdf", pki.user.serial, true);
  EXPECT_EQ(answer, u"Err Description: File not found");
  EXPECT_NE(log().find(" - Orvane.dll : Err Description: File not found\r\n"), std::string::npos);
  EXPECT_EQ(log().find("Orvane.dll", log().find("Orvane.dll") + 1), std::string::npos);
  EXPECT_TRUE(work_files().empty());
}

TEST_F(Signfile, ACertificateThatIsNotFoundStopsBeforeAnyFileIsTouched) {
  for (const Text& serial : {Text(), Text(u"00"), pki.expired.serial, pki.without_key.serial}) {
    Variant input = text_path("missing.pdf");
    EXPECT_EQ(sign.Signfile(input, serial), answers::no_certificate);
  }
  EXPECT_TRUE(work_files().empty());
  EXPECT_EQ(log(), "");
}

TEST_F(Signfile, ANullContentIsAFailureOfTheCall) {
  Variant input = Variant::null();
  Text extension;
  EXPECT_EQ(sign.Signfile(input, pki.user.serial, vb_true, extension, vb_true),
            u"Err Description: Invalid use of Null");
  EXPECT_TRUE(input.is_null());
}

// Checks through the openssl command, which does not run under Wine, and through the OpenSSL
// back end's file stores.
#ifndef _WIN32

// The file's text as the signer reads it: one character per byte through the code page.
Text text_of(const std::string& bytes) {
  return decode_text(windows_1252(),
                     ByteView(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
}

TEST_F(Signfile, DetachedFileSignatureIsWrittenBesideTheFileAndVerifiesWithOpenssl) {
  write("report.pdf", report_text);
  const auto [answer, extension] = sign_file("report.pdf", pki.user.serial, true);
  EXPECT_EQ(answer, u"success");
  EXPECT_EQ(extension, u"_Signature.txt");
  EXPECT_EQ(work_files(), (std::vector<std::string>{"report.pdf", "report_Signature.txt"}));
  const auto der =
      der_file(text_from_utf8(testing::read_file(path("report_Signature.txt"))), "d.der");
  EXPECT_EQ(openssl_verify(der, utf16le(text_of(report_text))), utf16le(text_of(report_text)));
  EXPECT_EQ(log(), "");
}

TEST_F(Signfile, AttachedMessageCarriesTheTextTheExtensionAndItsLength) {
  write("report.pdf", report_text);
  const auto [answer, extension] = sign_file("report.pdf", pki.ec_user.serial, false);
  EXPECT_EQ(answer, u"success");
  EXPECT_EQ(extension, u"_Signature.txt");
  const auto der =
      der_file(text_from_utf8(testing::read_file(path("report_Signature.txt"))), "a.der");
  EXPECT_EQ(openssl_verify(der), utf16le(text_of(report_text) + u".pdf4"));
}

TEST_F(Signfile, NamesAndTrailersFollowTheLastDotOfThePath) {
  fs::create_directory(path("a.b"));
  struct Case {
    std::string file;
    std::string signature_file;
    Text trailer;
  } const cases[] = {
      {"readme", "readme_Signature.txt", u"0"},
      {"a.b/file", "a_Signature.txt", u".b/file7"},
      {"file.", "file_Signature.txt", u".1"},
      {"data.jsonlines", "data_Signature.txt", u".jsonlines10"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    write(c.file, "text");
    EXPECT_EQ(sign_file(c.file, pki.user.serial, false).first, u"success");
    const auto der = der_file(text_from_utf8(testing::read_file(path(c.signature_file))), "n.der");
    EXPECT_EQ(openssl_verify(der), utf16le(u"text" + c.trailer));
  }
}

TEST_F(Signfile, ContentModeHandsTheMessageBackAndTouchesNoFile) {
  const Text content = u"caf\u00e9 \u4e2d 42";
  for (const bool detached : {true, false}) {
    Variant input = content;
    Text extension;
    EXPECT_EQ(
        sign.Signfile(input, pki.user.serial, detached ? vb_true : vb_false, extension, vb_true),
        u"success");
    EXPECT_EQ(extension, u"");
    ASSERT_NE(input.text_if(), nullptr);
    const auto der = der_file(*input.text_if(), "c.der");
    // No trailer in content mode, attached or not.
    EXPECT_EQ(openssl_verify(der, detached ? std::optional(utf16le(content)) : std::nullopt),
              utf16le(content));
  }
  EXPECT_TRUE(work_files().empty());
}

TEST_F(Signfile, ADetachedSignatureCarriesOneSigningTimeThatIsTheCallsLocalTime) {
  const std::time_t now = std::time(nullptr);
  std::tm utc{};
  ::gmtime_r(&now, &utc);
  // Local time two hours ahead of UTC: the message holds the UTC time.
  std::tm local = utc;
  local.tm_hour += 2;
  ::timegm(&local);
  test.clock->set({local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                   local.tm_min, local.tm_sec, 120});
  Variant input = Text(u"timed");
  Text extension;
  ASSERT_EQ(sign.Signfile(input, pki.user.serial, vb_true, extension, vb_true), u"success");
  char expected[64];
  std::strftime(expected, sizeof expected, "%b %e %H:%M:%S %Y GMT", &utc);
  EXPECT_EQ(signing_times(der_file(*input.text_if(), "t.der")), std::vector<std::string>{expected});
}

TEST_F(Signfile, AFailedSelfVerificationWritesNothingAndLeavesTheContentAsItWas) {
  // The untrusted root is known as an intermediate, so the chain ends in a root nobody trusts.
  fs::copy_file(pki.untrusted_root.certificate, pki.store_root / "CA" / "untrusted-root.pem");
  const std::string untrusted =
      "Err Description: A certificate chain processed, but terminated in a root certificate "
      "which is not trusted by the trust provider.";
  write("report.pdf", report_text);
  write("report_Signature.txt", "earlier signature");
  EXPECT_EQ(sign_file("report.pdf", pki.untrusted_user.serial, true).first,
            text_from_utf8(untrusted));
  EXPECT_EQ(testing::read_file(path("report_Signature.txt")), "earlier signature");

  Variant input = Text(u"content");
  Text extension;
  EXPECT_EQ(sign.Signfile(input, pki.untrusted_user.serial, vb_true, extension, vb_true),
            text_from_utf8(untrusted));
  EXPECT_EQ(input, Variant(u"content"));
  EXPECT_NE(log().find(" - Orvane.dll : " + untrusted + "\r\n"), std::string::npos);
}

TEST_F(Signfile, ASignerWhoseChainCannotBeBuiltFailsItsSelfVerification) {
  Variant input = Text(u"content");
  Text extension;
  EXPECT_EQ(sign.Signfile(input, pki.untrusted_user.serial, vb_true, extension, vb_true),
            u"Err Description: A certificate chain could not be built to a trusted root "
            u"authority.");
  EXPECT_EQ(input, Variant(u"content"));
}

TEST_F(Signfile, DefaultsAreFileModeAttachedAndTheUsualSuffix) {
  write("report.pdf", report_text);
  Variant input = text_path("report.pdf");
  EXPECT_EQ(sign.Signfile(input, pki.user.serial), u"success");
  const auto der =
      der_file(text_from_utf8(testing::read_file(path("report_Signature.txt"))), "a.der");
  EXPECT_EQ(openssl_verify(der), utf16le(text_of(report_text) + u".pdf4"));
}
#endif

// A value that names no mode is the default, and the methods that log say so once per object,
// not once per call.
TEST_F(Signfile, AnUnknownRevocationCheckIsOfflineAndLoggedOnce) {
  configure("<RevocationCheck>sometimes</RevocationCheck>");
  write("report.pdf", report_text);
  EXPECT_EQ(sign_file("report.pdf", pki.user.serial, true).first, u"success");
  EXPECT_EQ(sign_file("report.pdf", pki.user.serial, true).first, u"success");
  Variant signature = text_path("report_Signature.txt");
  EXPECT_EQ(sign.Verify(text_path("report.pdf"), signature, vb_true, pki.user.serial), u"success");
  const auto entries = log_entries();
  EXPECT_EQ(std::count_if(entries.begin(), entries.end(),
                          [](const std::string& entry) {
                            return entry.find("RevocationCheck") != std::string::npos;
                          }),
            1)
      << log();
  EXPECT_EQ(parse_revocation_check(u" OnLine "), provider::RevocationCheck::online);
  EXPECT_EQ(parse_revocation_check(u"REQUIRE"), provider::RevocationCheck::require);
  EXPECT_EQ(parse_revocation_check(u"on line"), std::nullopt);
}

}  // namespace
}  // namespace orvane::signing
