#pragma once

#include <memory>
#include <optional>

#include "provider/provider.h"
#include "runtime/failure.h"
#include "runtime/platform.h"

namespace orvane::signing {

// What a restoration does with a file that already has the restored file's name.
enum class ExistingFile {
  // The caller named the file and wants it restored: replaced whole.
  replace,
  // The caller neither named nor learns the name: never replaced; one that already holds the
  // restored bytes counts as restored.
  keep,
};

// The content of an attached message on its way to the restored file. It is written as it
// passes, into a new owner-only file in the folder of the name the restored file is named
// after, and becomes the restored file only by commit(), once the message is proved valid and
// the name is made; otherwise nothing is left behind. The envelope's trailer, at the content's
// end, is cut off when the content has passed. A failure to write is kept and thrown by
// commit(), after the verification's own, as when the file was written last.
class RestoredContent final : public provider::ContentSink {
 public:
  // `base` is the name the restored file is named after; `message_file` the file the content
  // came from. With `two_bytes`, every character is written as two bytes, low byte first;
  // otherwise one byte through the code page, which needs_two_bytes() says was not enough.
  RestoredContent(const Platform& platform, Text base, Text message_file, bool two_bytes,
                  ExistingFile existing);

  void restart() override;
  void write(ByteView bytes) override;

  // Once the content has passed: splits the envelope (failures 13 and 5 as split_envelope's)
  // and cuts the file to the text.
  void finish();
  // After finish(): a character of the text has no byte of its own in the code page, and the
  // content must be restored again with `two_bytes`.
  bool needs_two_bytes() const;
  // After finish(): the envelope's extension field.
  const Text& extension() const { return extension_; }
  // Replaces `output_name` (in the folder of `base`) with the restored text, or with `keep`
  // makes it. Refuses to replace the message file itself (75), a file that `output_name` names
  // only as an alias of another name (58), and with `keep` a file of other content (58); throws
  // the failure met in writing.
  void commit(const Text& output_name);

 private:
  void write_units(TextView units);
  // Keeps what the envelope's split needs of `units`.
  void follow_envelope_end(TextView units);
  // Writes `units`, which start at unit `at` of the content, to the file.
  void write_out(TextView units, std::uint64_t at);
  void keep_failure();
  // Whether `path` is a file that holds exactly the restored bytes.
  bool holds_restored_bytes(const Text& path) const;

  const Platform& platform_;
  Text base_;
  Text message_file_;
  bool two_bytes_;
  ExistingFile existing_;
  std::unique_ptr<OutputFile> output_;
  std::optional<Failure> failure_;
  std::optional<std::uint8_t> odd_byte_;
  Text units_;
  Bytes encoded_;
  // What the envelope's split needs of the content: its last units, its length, where its last
  // "." is, and whether a path separator follows it; and where a character first could not be
  // written as one byte.
  Text tail_;
  std::uint64_t length_ = 0;
  std::uint64_t last_dot_ = 0;
  bool dot_seen_ = false;
  bool separator_after_dot_ = false;
  std::optional<std::uint64_t> first_wide_;
  std::uint64_t text_length_ = 0;
  Text extension_;
};

}  // namespace orvane::signing
