// The byte-exact reader of stored message files over any file, and the writer of restored
// content over what it read: through the numbered channels, on a file system in memory.
#include <cstdint>
#include <cstring>

#include "fuzz/memory_file_system.h"
#include "fuzz/require.h"
#include "runtime/failure.h"
#include "runtime/file_channels.h"
#include "signing/envelope.h"
#include "signing/stored_message.h"

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

// Both channels are free again after every call, whether it failed or not.
void require_channels_closed(orvane::FileSystem& files) {
  for (const int channel : {1, 2}) {
    orvane::file_channels::open_for_binary_read(files, channel, u"/message");
    orvane::file_channels::close(channel);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  auto files = std::make_shared<orvane::fuzzing::MemoryFileSystem>();
  const orvane::ByteView bytes(data, size);
  files->put_file(u"/message", bytes);
  const orvane::Platform platform{files, nullptr, &orvane::windows_1252(), u"/", u'/'};

  const Text message = orvane::signing::read_stored_message(*files, u"/message");
  require(message == expected_message(data, size), "bytes pair up, spaces trimmed");
  require_channels_closed(*files);

  // Restored content: one byte per character where the code page has them all, else pairs.
  orvane::signing::write_restored_content(platform, u"/restored", message, u"/message");
  const orvane::Bytes* restored = files->file(u"/restored");
  require(restored != nullptr, "the restored file is written");
  if (const auto single = orvane::encode_text_exactly(orvane::windows_1252(), message)) {
    require(*restored == *single, "one byte per character");
  } else {
    require(restored->size() == message.size() * 2 &&
                std::memcmp(restored->data(), message.data(), restored->size()) == 0,
            "two bytes per character, low byte first");
  }

  // Read as an envelope, whatever its extension says, it is restored into the folder of the
  // name it is based on.
  files->put_folder(u"/d");
  try {
    const auto envelope = orvane::signing::split_envelope(message);
    const Text name = orvane::signing::output_name(u"/d/m_Signature.txt", envelope.extension,
                                                   orvane::FileNameRules::posix);
    orvane::signing::write_restored_content(platform, name, envelope.text, u"/message");
  } catch (const orvane::Failure& failure) {
    require(failure.number() == 13 || failure.number() == 5, "a bad envelope fails with 13 or 5");
  }
  for (const auto& [path, content] : files->files()) {
    require(path == u"/message" || path == u"/restored" ||
                (path.starts_with(u"/d/m_Signature") && path.find(u'/', 3) == Text::npos),
            "the restored file stays in its folder");
  }

  // Never over the message it came from.
  try {
    orvane::signing::write_restored_content(platform, u"/message", message, u"/message");
    require(false, "restoring over the message is refused");
  } catch (const orvane::Failure& failure) {
    require(failure.number() == 75, "refused with 75");
  }
  require(*files->file(u"/message") == orvane::Bytes(bytes.begin(), bytes.end()),
          "the message file is untouched");
  require_channels_closed(*files);
  return 0;
}
