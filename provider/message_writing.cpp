#include "provider/message_writing.h"

#include <algorithm>

#include "provider/base64.h"
#include "provider/crypt_error.h"
#include "provider/der.h"
#include "runtime/failure.h"

namespace orvane::provider {
namespace {

const Bytes signed_data_type = {0x06, 0x09, 0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x07, 0x02};
const Bytes data_type = {0x06, 0x09, 0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x07, 0x01};

// Contents up to this size are signed in memory: the message is then made whole at once.
constexpr std::uint64_t in_memory_limit = 1024 * 1024;
// How far the parts after the content may turn out from what the back end foresaw (a timestamp
// token, a signature shorter than its longest) without changing the message's first lines.
constexpr std::uint64_t trailing_margin = 64 * 1024;

// The parts of a signed-data message around its content.
struct Frame {
  Bytes prefix;  // everything before the content octets
  Bytes suffix;  // everything after them
};

Bytes joined(std::initializer_list<ByteView> parts) {
  Bytes whole;
  for (const ByteView part : parts) whole.insert(whole.end(), part.begin(), part.end());
  return whole;
}

// The frame of an attached message: `leading` is the encoded version and digestAlgorithms,
// `content_type` the encapsulated content's type, `trailing` what follows the encapsulated
// content info (certificates, CRLs, signer infos).
Frame frame(ByteView leading, ByteView content_type, std::uint64_t size, ByteView trailing) {
  const Bytes octets = der_header(der_tag::octet_string, size);
  const Bytes explicit_content = der_header(der_tag::context_0, octets.size() + size);
  const Bytes encapsulated = der_header(
      der_tag::sequence, content_type.size() + explicit_content.size() + octets.size() + size);
  const std::uint64_t signed_size = leading.size() + encapsulated.size() + content_type.size() +
                                    explicit_content.size() + octets.size() + size +
                                    trailing.size();
  const Bytes signed_data = der_header(der_tag::sequence, signed_size);
  const Bytes explicit_data = der_header(der_tag::context_0, signed_data.size() + signed_size);
  const Bytes info = der_header(der_tag::sequence, signed_data_type.size() + explicit_data.size() +
                                                       signed_data.size() + signed_size);
  return {joined({info, signed_data_type, explicit_data, signed_data, leading, encapsulated,
                  content_type, explicit_content, octets}),
          Bytes(trailing.begin(), trailing.end())};
}

// The frame of the attached message whose message without content the back end made.
Frame frame_of(ByteView detached, std::uint64_t content_size) {
  ByteView rest = detached;
  const auto info = take_der_element(rest);
  const auto info_fields = info ? der_elements(info->content) : std::nullopt;
  if (!info_fields || info_fields->size() != 2) throw crypt_failure(CryptError::bad_encode);
  const auto inner = der_elements((*info_fields)[1].content);
  const auto fields =
      inner && inner->size() == 1 ? der_elements(inner->front().content) : std::nullopt;
  if (!fields || fields->size() < 3) throw crypt_failure(CryptError::bad_encode);
  const auto encapsulated = der_elements((*fields)[2].content);
  if (!encapsulated || encapsulated->size() != 1) throw crypt_failure(CryptError::bad_encode);
  const Bytes leading = joined({(*fields)[0].whole, (*fields)[1].whole});
  Bytes trailing;
  for (std::size_t i = 3; i < fields->size(); ++i) {
    trailing.insert(trailing.end(), (*fields)[i].whole.begin(), (*fields)[i].whole.end());
  }
  return frame(leading, encapsulated->front().whole, content_size, trailing);
}

// Reads `content` whole, a block at a time, handing each block to `use`.
template <typename Use>
void read_content(const ByteSource& content, Use&& use) {
  const auto reader = content.open();
  Bytes block(stream_block_size);
  std::uint64_t total = 0;
  while (const std::size_t got = reader->read(block)) {
    use(ByteView(block.data(), got));
    total += got;
  }
  if (total != content.size()) throw Failure(RuntimeError::input_past_end_of_file);
}

void write_base64(RewritableSink& sink, std::initializer_list<ByteView> parts) {
  Base64LineWriter writer(sink);
  for (const ByteView part : parts) writer.write(part);
  writer.finish();
}

// Writes the message from its exact frame, reading the content a second time, which must be
// the content that was signed.
void write_again(const ByteSource& content, const Frame& exact, SignatureSession& session,
                 RewritableSink& sink) {
  sink.truncate(0);
  const auto digest = session.new_content_digest();
  Base64LineWriter writer(sink);
  writer.write(exact.prefix);
  read_content(content, [&](ByteView block) {
    digest->update(block);
    writer.write(block);
  });
  writer.write(exact.suffix);
  writer.finish();
  if (digest->finish() != session.content_digest()) throw crypt_failure(CryptError::hash_value);
}

// An attached message of a large content: the content goes into the message as it is signed.
// The lengths before it depend on what follows it, which is known only once it is signed; they
// are foreseen, and the first lines are written again with the right ones.
void write_attached(const ByteSource& content, SignatureSession& session, RewritableSink& sink) {
  const Bytes leading = session.expected_leading_fields();
  const std::uint64_t trailing = session.expected_trailing_size();
  const auto foreseen = [&](std::uint64_t trailing_size) {
    return frame(leading, data_type, content.size(), Bytes(trailing_size)).prefix.size();
  };
  const std::size_t prefix_size = foreseen(trailing);
  const bool steady = foreseen(trailing - std::min(trailing, trailing_margin)) == prefix_size &&
                      foreseen(trailing + trailing_margin) == prefix_size;
  if (!steady) {
    // The content's length lies too near a length that needs one more octet: signed first, then
    // written.
    read_content(content, [&](ByteView block) { session.update(block); });
    write_again(content, frame_of(session.finish(), content.size()), session, sink);
    return;
  }
  const Frame guess = frame(leading, data_type, content.size(), Bytes(trailing));
  // The whole lines that hold the prefix, with the content's first bytes that share them.
  const std::size_t head_size =
      (prefix_size + base64_line_bytes - 1) / base64_line_bytes * base64_line_bytes;
  Bytes head_content;
  Base64LineWriter writer(sink);
  writer.write(guess.prefix);
  read_content(content, [&](ByteView block) {
    session.update(block);
    writer.write(block);
    const std::size_t wanted = head_size - prefix_size - head_content.size();
    head_content.insert(
        head_content.end(), block.begin(),
        block.begin() + static_cast<std::ptrdiff_t>(std::min(wanted, block.size())));
  });
  const Frame exact = frame_of(session.finish(), content.size());
  if (exact.prefix.size() != prefix_size) {
    write_again(content, exact, session, sink);
    return;
  }
  writer.write(exact.suffix);
  writer.finish();
  // The prefix and the content's first bytes fill whole lines: their text replaces the first
  // lines without moving a character after them.
  MemorySink lines;
  write_base64(lines, {exact.prefix, head_content});
  sink.write_at(0, lines.bytes());
}

}  // namespace

void write_signed_message(const ByteSource& content, Attachment attachment,
                          SignatureSession& session, RewritableSink& message) {
  if (attachment == Attachment::detached) {
    read_content(content, [&](ByteView block) { session.update(block); });
    write_base64(message, {session.finish()});
  } else if (content.size() > in_memory_limit) {
    write_attached(content, session, message);
  } else {
    const Bytes bytes = read_all(content);
    session.update(bytes);
    const Frame exact = frame_of(session.finish(), bytes.size());
    write_base64(message, {exact.prefix, bytes, exact.suffix});
  }
}

}  // namespace orvane::provider
