#include "signing/restored_content.h"

#include <gtest/gtest.h>

#include "provider/content_bytes.h"
#include "runtime/failure.h"
#include "signing/file_content.h"
#include "tests/support/temp_folder.h"

namespace orvane::signing {
namespace {

class StoredMessage : public ::testing::Test {
 protected:
  // The code units of a stored message file holding `bytes`, as verification reads them.
  Text read(const std::string& bytes) {
    testing::write_file(folder.path() / "message", bytes);
    const auto message = stored_message_file(*platform.files, folder.text("message"));
    Text units(static_cast<std::size_t>(message->size()), u'\0');
    const auto reader = message->units();
    std::size_t got = 0;
    while (got < units.size()) {
      const std::size_t more = reader->read(std::span(units).subspan(got));
      if (more == 0) break;
      got += more;
    }
    EXPECT_EQ(got, units.size());
    return units;
  }

  // Restores `content` (an envelope) through a RestoredContent in blocks of `block` bytes, and
  // returns the restored file's bytes; the file is named after `base` with the extension.
  std::string restore(const Text& content, std::size_t block = 3, const Text& base = u"out.xyz") {
    const Text base_path = folder.text(text_to_utf8(base));
    ByteView bytes = provider::content_bytes(content);
    for (const bool two_bytes : {false, true}) {
      RestoredContent restored(platform, base_path, folder.text("message"), two_bytes,
                               ExistingFile::replace);
      restored.restart();
      for (ByteView rest = bytes; !rest.empty();
           rest = rest.subspan(std::min(block, rest.size()))) {
        restored.write(rest.first(std::min(block, rest.size())));
      }
      restored.finish();
      if (restored.needs_two_bytes()) continue;
      restored.commit(folder.text("restored"));
      return testing::read_file(folder.path() / "restored");
    }
    return "not restored";
  }

  testing::TempFolder folder;
  Platform platform = native_platform();
};

TEST_F(StoredMessage, BytesArePairedLowByteFirstAndOnlySpaceUnitsTrimmed) {
  EXPECT_EQ(read(""), u"");
  EXPECT_EQ(read("ABC"), (Text{0x4241, 0x0043}));
  EXPECT_EQ(read("ABCD"), (Text{0x4241, 0x4443}));
  EXPECT_EQ(read(std::string(" \0A\0 \0", 6)), u"A");
  EXPECT_EQ(read(std::string(" \0 \0", 4)), u"");
  // 0x20 0x41 is one code unit, not a space; an odd file's last space gains a zero byte.
  EXPECT_EQ(read(" A"), (Text{0x4120}));
  EXPECT_EQ(read(std::string("\t\0A\0 ", 5)), u"\tA");
  EXPECT_THROW(stored_message_file(*platform.files, folder.text("missing")), Failure);
}

TEST_F(StoredMessage, RestoredContentIsTheTextByteForByteWithoutTheTrailer) {
  testing::write_file(folder.path() / "restored", std::string(50, 'x'));
  EXPECT_EQ(restore(u"caf\u00e9\u20ac.pdf4"), "caf\xE9\x80");
  // A character outside the code page in the text: two bytes each; in the trailer: no matter.
  EXPECT_EQ(restore(u"a\u4e2d.pdf4", 1), std::string("a\0\x2d\x4e", 4));
  EXPECT_EQ(restore(u"ab.\u4e2d2"), "ab");
  // The trailer is read at the end however the blocks fell.
  EXPECT_EQ(restore(u"app.revision=10", 5), "app.revision=1");
  Text long_extension(40001, u'e');
  long_extension[0] = u'.';
  EXPECT_EQ(restore(u"x/" + long_extension + u"40001", 4096), "x/");
}

TEST_F(StoredMessage, NothingIsLeftBehindUnlessCommittedAndNeverOverTheMessage) {
  testing::write_file(folder.path() / "message", "message");
  {
    RestoredContent abandoned(platform, folder.text("out.xyz"), folder.text("message"), false,
                              ExistingFile::replace);
    abandoned.write(provider::content_bytes(u"text.pdf4"));
    abandoned.finish();
  }
  {
    RestoredContent restored(platform, folder.text("out.xyz"), folder.text("message"), false,
                             ExistingFile::replace);
    restored.write(provider::content_bytes(u"text.pdf4"));
    restored.finish();
    EXPECT_EQ(restored.extension(), u".pdf");
    EXPECT_THROW(restored.commit(folder.text("./message")), Failure);
  }
  EXPECT_EQ(testing::read_file(folder.path() / "message"), "message");
  std::size_t files = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder.path())) {
    ++files;
  }
  EXPECT_EQ(files, 1u);
}

}  // namespace
}  // namespace orvane::signing
