// The stores are only ever read: a full round of signing and verifying in every mode, with
// failures among them, leaves the store tree as it found it, and keys that others could have
// read are never used.
#include <sys/stat.h>

#include <tuple>

#include "tests/signing/sign_fixture.h"

namespace orvane::signing {
namespace {

namespace fs = std::filesystem;

// Each entry of the store tree: its path, kind, size, modification time and mode.
using Snapshot = std::vector<std::tuple<std::string, int, std::int64_t, std::int64_t, unsigned>>;

Snapshot snapshot(const fs::path& root) {
  Snapshot entries;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    struct stat info {};
    EXPECT_EQ(::lstat(entry.path().c_str(), &info), 0);
    entries.emplace_back(
        entry.path().string(), static_cast<int>(info.st_mode & S_IFMT),
        static_cast<std::int64_t>(info.st_size),
        static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec,
        static_cast<unsigned>(info.st_mode & 07777));
  }
  std::sort(entries.begin(), entries.end());
  return entries;
}

class StoreIntegrity : public SignTest {};

TEST_F(StoreIntegrity, SigningAndVerifyingInEveryModeWriteNothingIntoTheStores) {
  configure("<SerialNumber>" + text_to_utf8(pki.ec_user.serial) + "</SerialNumber>");
  write("report.pdf", binary_sample());
  const Snapshot before = snapshot(pki.store_root);

  for (const bool detached : {true, false}) {
    EXPECT_EQ(sign_file("report.pdf", pki.user.serial, detached).first, u"success");
    Variant content = Text(u"content");
    Text extension;
    EXPECT_EQ(
        sign.Signfile(content, pki.user.serial, detached ? vb_true : vb_false, extension, vb_true),
        u"success");
    if (detached) {
      Variant signature = text_path("report_Signature.txt");
      EXPECT_EQ(sign.Verify(text_path("report.pdf"), signature, vb_true, pki.user.serial),
                u"success");
      EXPECT_EQ(sign.VerifyCodeWithFile(text_path("report.pdf"), *content.text_if(), vb_true),
                answers::not_valid);
    } else {
      Variant restore = text_path("copy.xyz");
      EXPECT_EQ(sign.Verify(text_path("report_Signature.txt"), restore, vb_false, pki.user.serial),
                u"success");
      EXPECT_EQ(sign.VerifyCodeWithFile(text_path("report_Signature.txt"), Variant(), vb_false),
                u"success");
    }
  }
  EXPECT_NE(sign.ServiceProviderDS(text_path("report.pdf")), u"-1");
  EXPECT_NE(sign.GetServiceProviderDS(u"data"), u"-1");
  EXPECT_EQ(sign.GetSerialNO(), pki.ec_user.serial);
  // Failures too: a certificate not present, an untrusted signer, a file that is not there.
  Variant missing = text_path("missing.pdf");
  EXPECT_NE(sign.Signfile(missing, u"0BADC0DE"), u"success");
  EXPECT_NE(sign.Signfile(missing, pki.user.serial), u"success");
  Variant content = Text(u"content");
  Text extension;
  EXPECT_NE(sign.Signfile(content, pki.untrusted_user.serial, vb_true, extension, vb_true),
            u"success");
  sign.LogError(u"entry");

  EXPECT_EQ(snapshot(pki.store_root), before);
}

TEST_F(StoreIntegrity, AKeyThatOthersCanReadIsNeverUsed) {
  write("report.pdf", "text");
  const auto not_present = answers::no_certificate;
  for (const auto readable : {fs::perms::group_read, fs::perms::others_read}) {
    fs::permissions(pki.user.private_key, fs::perms::owner_read | fs::perms::owner_write);
    fs::permissions(pki.user.private_key, readable, fs::perm_options::add);
    EXPECT_EQ(sign_file("report.pdf", pki.user.serial, true).first, not_present);
  }
  EXPECT_EQ(work_files(), std::vector<std::string>{"report.pdf"});
  // The same key, owner-only again, signs.
  fs::permissions(pki.user.private_key, fs::perms::owner_read | fs::perms::owner_write);
  EXPECT_EQ(sign_file("report.pdf", pki.user.serial, true).first, u"success");
}

}  // namespace
}  // namespace orvane::signing
