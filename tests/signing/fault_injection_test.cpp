// Faults of the file system and the clock under every operation that writes: each gives its
// answer, leaves no partial file, keeps every earlier file and logs as it always does.
#include <ctime>

#include "config/error_log.h"
#include "tests/signing/sign_fixture.h"
#include "tests/support/faulty_file_system.h"

namespace orvane::signing {
namespace {

namespace fs = std::filesystem;

class FaultInjection : public SignTest {
 protected:
  FaultInjection() : faulty(faulty_platform(), provider::default_factory(pki.store_root)) {
    configure("<SerialNumber>" + text_to_utf8(pki.user.serial) + "</SerialNumber>");
    write("report.pdf", "report text");
    write("report_Signature.txt", "earlier signature");
    write("attached.pdf", "attached text");
    EXPECT_EQ(sign_file("attached.pdf", pki.user.serial, false).first, u"success");
    // What the attached message restores to, from an earlier verification.
    write("copy.pdf", "earlier copy");
    write("attached_Signature.pdf", "earlier copy");
  }

  Platform faulty_platform() {
    Platform platform = test.platform;
    platform.files = files;
    return platform;
  }

  // The writing operations, each on a file whose earlier version must survive.
  Text signfile() {
    Variant input = text_path("report.pdf");
    return faulty.Signfile(input, pki.user.serial, vb_true);
  }
  Text verify_attached() {
    Variant restore = text_path("copy.xyz");
    return faulty.Verify(text_path("attached_Signature.txt"), restore, vb_false, pki.user.serial);
  }
  Text verify_code_attached() {
    return faulty.VerifyCodeWithFile(text_path("attached_Signature.txt"), Variant(), vb_false);
  }
  // A detached signature of the report, which the service provider writes nowhere.
  bool service_provider_signs() {
    const Text signature = faulty.ServiceProviderDS(text_path("report.pdf"));
    return signature != u"-1" &&
           openssl_verify(der_file(signature, "sp.der"), utf16le(u"report text")).has_value();
  }

  std::shared_ptr<testing::FaultyFileSystem> files =
      std::make_shared<testing::FaultyFileSystem>(test.platform.files);
  Sign faulty;
};

TEST_F(FaultInjection, ADiskThatFillsUpFailsEachWriteWholeAndLosesNoEarlierFile) {
  const auto before = work_contents();
  files->fill_up_after(100);
  EXPECT_EQ(signfile(), u"Err Description: Disk full");
  EXPECT_EQ(verify_attached(), answers::original_not_found);
  EXPECT_EQ(verify_code_attached(), answers::original_not_found);
  faulty.LogError(u"an entry with no room left");
  EXPECT_EQ(work_contents(), before);
  // The log shares the full disk: not one entry, nor a part of one.
  EXPECT_EQ(log(), "");
  EXPECT_TRUE(service_provider_signs());

  files->fill_up_after(1 << 20);
  EXPECT_EQ(signfile(), u"success");
  EXPECT_EQ(verify_attached(), u"success");
  EXPECT_EQ(testing::read_file(path("copy.pdf")), "attached text");
}

TEST_F(FaultInjection, AFolderThatBecameReadOnlyRefusesEveryWriteAndTheLogStillTellsWhy) {
  const auto before = work_contents();
  files->make_read_only(text_from_utf8(work.string()));
  EXPECT_EQ(signfile(), u"Err Description: Permission denied");
  EXPECT_EQ(verify_attached(), answers::original_not_found);
  EXPECT_EQ(verify_code_attached(), answers::original_not_found);
  EXPECT_TRUE(service_provider_signs());
  EXPECT_EQ(work_contents(), before);
  // Only Signfile logs; the verifications never do.
  EXPECT_EQ(log_entries(), std::vector<std::string>{"Err Description: Permission denied"});

  // A log folder that cannot be written drops the entry and changes no answer.
  files->make_read_only(text_from_utf8((test.folder.path() / "logs").string()));
  EXPECT_EQ(signfile(), u"Err Description: Permission denied");
  EXPECT_EQ(log_entries().size(), 1u);
}

TEST_F(FaultInjection, AFileThatVanishesBetweenItsExistenceCheckAndItsOpening) {
  files->vanish_after_check(text_path("report.pdf"));
  EXPECT_EQ(faulty.ServiceProviderDS(text_path("report.pdf")), u"-1");
  EXPECT_EQ(log_entries(),
            std::vector<std::string>{"Orvane.Dll : ServiceProviderDS = -1File not found"});

  // The configuration file: then no serial number is configured, which is no failure.
  const Text configuration =
      text_from_utf8((test.system_directory() / "KPXServiceControl.INI").string());
  files->vanish_after_check(configuration);
  EXPECT_EQ(faulty.GetServiceProviderDS(u"x"), u"-1");
  EXPECT_EQ(log_entries().size(), 1u);

  // Gone while a new object resolves its log: the entry is dropped, the next one written.
  configure("");
  Sign other(faulty_platform(), provider::default_factory(pki.store_root));
  files->vanish_after_check(configuration);
  other.LogError(u"lost");
  configure("");
  other.LogError(u"kept");
  EXPECT_EQ(log_entries(), (std::vector<std::string>{
                               "Orvane.Dll : ServiceProviderDS = -1File not found", "kept"}));
}

TEST_F(FaultInjection, FilesThatClaimToBeLargerThanMemoryAreFailuresNotCrashes) {
  const auto before = work_contents();
  files->report_huge_sizes();
  // Files are read a block at a time, whatever size they claim: one that ends before its size
  // is a failure where it ends.
  EXPECT_EQ(signfile(), u"Err Description: Input past end of file");
  EXPECT_EQ(verify_attached(), answers::original_not_found);
  EXPECT_EQ(verify_code_attached(), answers::original_not_found);
  Variant signature = text_path("report_Signature.txt");
  EXPECT_EQ(faulty.Verify(text_path("report.pdf"), signature, vb_true, pki.user.serial),
            u"Error found:Input past end of file");
  EXPECT_EQ(faulty.ServiceProviderDS(text_path("report.pdf")), u"-1");
  EXPECT_EQ(faulty.GetSerialNO(), u"");
  EXPECT_EQ(work_contents(), before);
}

// Local times within the certificates' validity: the last second of a day and the first of the
// next, a month from now.
std::pair<LocalDateTime, LocalDateTime> around_midnight() {
  std::time_t moment = std::time(nullptr) + 30 * 24 * 3600;
  std::tm day{};
  ::gmtime_r(&moment, &day);
  const LocalDateTime last{day.tm_year + 1900, day.tm_mon + 1, day.tm_mday, 23, 59, 59, 0};
  day.tm_hour = 24;
  day.tm_min = day.tm_sec = 0;
  moment = ::timegm(&day);
  ::gmtime_r(&moment, &day);
  return {last, {day.tm_year + 1900, day.tm_mon + 1, day.tm_mday, 0, 0, 0, 0}};
}

TEST_F(FaultInjection, AClockThatCrossesMidnightKeepsEachEntryWholeInTheDayItResolved) {
  const auto [last_second, first_second] = around_midnight();
  const auto log_of = [&](const LocalDateTime& day) {
    const fs::path file = test.folder.path() / "logs" / text_to_utf8(config::log_file_name(day));
    return fs::exists(file) ? testing::read_file(file) : std::string();
  };
  // Selection, the signature's policy and the log's file name read the clock before midnight,
  // the entry after it.
  test.clock->set_readings({last_second, last_second, last_second, first_second});
  EXPECT_EQ(sign_file("missing.pdf", pki.user.serial, true).first,
            u"Err Description: File not found");
  EXPECT_EQ(log_of(last_second), "\r\n " + text_to_utf8(format_date_time(first_second)) +
                                     "  - Orvane.dll : Err Description: File not found\r\n");
  EXPECT_EQ(log_of(first_second), "");

  // A signature begun before midnight carries the time it was made.
  test.clock->set_readings({last_second, first_second});
  Variant input = Text(u"content");
  Text extension;
  ASSERT_EQ(sign.Signfile(input, pki.user.serial, vb_true, extension, vb_true), u"success");
  const auto times = signing_times(der_file(*input.text_if(), "midnight.der"));
  ASSERT_EQ(times.size(), 1u);
  EXPECT_NE(times[0].find(" 00:00:00 "), std::string::npos) << times[0];

  // A new object after midnight logs into the new day's file.
  Sign next_day(test.platform, provider::default_factory(pki.store_root));
  next_day.LogError(u"next day");
  EXPECT_NE(log_of(first_second).find(" - Orvane.dll : next day\r\n"), std::string::npos);
}

}  // namespace
}  // namespace orvane::signing
