// The byte-exact reader of stored message files over any file, and the restoring of content
// over what it read, a few bytes at a time, against the envelope's split of the whole: on a file
// system in memory.
#include <cstdint>
#include <cstring>

#include "fuzz/memory_file_system.h"
#include "fuzz/require.h"
#include "provider/content_bytes.h"
#include "runtime/failure.h"
#include "signing/envelope.h"
#include "signing/file_content.h"
#include "signing/restored_content.h"

namespace {

using orvane::Text;
using orvane::fuzzing::require;

// The code units a file of `bytes` stands for: pairs, low byte first, an odd last byte with a
// zero high byte, without leading and trailing spaces.
Text expected_message(const std::uint8_t* data, std::size_t size) {
  Text units((size + 1) / 2, u'\0');
  if (size != 0) std::memcpy(units.data(), data, size);
  return Text(orvane::trim_spaces(units));
}

Text read_units(const orvane::provider::MessageText& message) {
  Text units(static_cast<std::size_t>(message.size()), u'\0');
  const auto reader = message.units();
  std::size_t got = 0;
  while (const std::size_t more = reader->read(std::span(units).subspan(got))) got += more;
  require(got == units.size(), "the units are as many as the message says");
  return units;
}

// Restores `content` as verification does, in pieces of `piece` bytes.
std::optional<Text> restore(const orvane::Platform& platform, const Text& content,
                            std::size_t piece, std::int32_t& failure) {
  const orvane::ByteView bytes = orvane::provider::content_bytes(content);
  for (const bool two_bytes : {false, true}) {
    orvane::signing::RestoredContent restored(platform, u"/d/m_Signature.txt", u"/message",
                                              two_bytes, orvane::signing::ExistingFile::replace);
    try {
      for (std::size_t at = 0; at < bytes.size(); at += piece) {
        restored.write(bytes.subspan(at, std::min(piece, bytes.size() - at)));
      }
      restored.finish();
      if (restored.needs_two_bytes()) continue;
      const Text name = orvane::signing::output_name(u"/d/m_Signature.txt", restored.extension(),
                                                     orvane::FileNameRules::posix);
      restored.commit(name);
      return name;
    } catch (const orvane::Failure& caught) {
      failure = caught.number();
      return std::nullopt;
    }
  }
  require(false, "two bytes a character always do");
  return std::nullopt;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  auto files = std::make_shared<orvane::fuzzing::MemoryFileSystem>();
  const orvane::ByteView bytes(data, size);
  files->put_file(u"/message", bytes);
  files->put_folder(u"/d");
  const orvane::Platform platform{files, nullptr, &orvane::windows_1252(), u"/", u'/'};

  const Text message = read_units(*orvane::signing::stored_message_file(*files, u"/message"));
  require(message == expected_message(data, size), "bytes pair up, spaces trimmed");

  // Restored a few bytes at a time, the content splits as it does whole, and the restored file
  // is its text: one byte per character where the code page has them all, else pairs.
  std::int32_t failure = 0;
  const auto name = restore(platform, message, 1 + size % 7, failure);
  std::optional<orvane::signing::SplitEnvelope> whole;
  std::optional<Text> whole_name;
  try {
    whole = orvane::signing::split_envelope(message);
    whole_name = orvane::signing::output_name(u"/d/m_Signature.txt", whole->extension,
                                              orvane::FileNameRules::posix);
  } catch (const orvane::Failure& caught) {
    require(caught.number() == 13 || caught.number() == 5, "a bad envelope fails with 13 or 5");
    require(!name && failure == caught.number(), "restoring fails as the whole split does");
  }
  if (whole_name) {
    require(name == whole_name, "restored under the name the whole split gives");
    const orvane::Bytes* restored = files->file(*name);
    require(restored != nullptr, "the restored file is written");
    if (const auto single = orvane::encode_text_exactly(orvane::windows_1252(), whole->text)) {
      require(*restored == *single, "one byte per character");
    } else {
      require(restored->size() == whole->text.size() * 2 &&
                  std::memcmp(restored->data(), whole->text.data(), restored->size()) == 0,
              "two bytes per character, low byte first");
    }
  }
  for (const auto& [path, content] : files->files()) {
    require(path == u"/message" ||
                (path.starts_with(u"/d/m_Signature") && path.find(u'/', 3) == Text::npos),
            "the restored file stays in its folder");
  }

  // Never over the message it came from.
  orvane::signing::RestoredContent over(platform, u"/d/m_Signature.txt", u"/message", true,
                                        orvane::signing::ExistingFile::replace);
  over.write(orvane::provider::content_bytes(u"x.pdf4"));
  over.finish();
  try {
    over.commit(u"/message");
    require(false, "restoring over the message is refused");
  } catch (const orvane::Failure& caught) {
    require(caught.number() == 75, "refused with 75");
  }
  require(*files->file(u"/message") == orvane::Bytes(bytes.begin(), bytes.end()),
          "the message file is untouched");
  return 0;
}
