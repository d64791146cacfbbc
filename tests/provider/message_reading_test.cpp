#include "provider/message_reading.h"

#include <gtest/gtest.h>

#include "provider/base64.h"
#include "provider/content_bytes.h"
#include "provider/crypt_error.h"
#include "tests/support/failures.h"

namespace orvane::provider {
namespace {

Bytes join(std::initializer_list<Bytes> parts) {
  Bytes whole;
  for (const Bytes& part : parts) whole.insert(whole.end(), part.begin(), part.end());
  return whole;
}

Bytes tlv(std::uint8_t tag, const Bytes& content) {
  // Reserved first: GCC 12 at -O3 otherwise warns of a copy past the two-byte start.
  Bytes element;
  element.reserve(2 + content.size());
  element.push_back(tag);
  element.push_back(static_cast<std::uint8_t>(content.size()));
  element.insert(element.end(), content.begin(), content.end());
  return element;
}

// The same element with an indefinite length.
Bytes indefinite(std::uint8_t tag, const Bytes& content) {
  return join({{tag, 0x80}, content, {0x00, 0x00}});
}

const Bytes signed_data_oid = {0x06, 0x09, 0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x07, 0x02};
const Bytes data_oid = {0x06, 0x09, 0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x07, 0x01};
const Bytes version = {0x02, 0x01, 0x01};
const Bytes sha256 = {0x30, 0x0B, 0x06, 0x09, 0x60, 0x86, 0x48, 0x01, 0x65, 0x03, 0x04, 0x02, 0x01};
const Bytes signer_infos = tlv(0x31, {});
const Bytes content = {'a', 'b', 'c', 'd', 'e'};

// A signed-data message with `string` as its encapsulated content (an OCTET STRING, primitive or
// not) and `infos` as its signer infos, shaped as readers meet it.
Bytes message_with(const Bytes& string, const Bytes& infos = signer_infos) {
  return tlv(
      0x30,
      join({signed_data_oid,
            tlv(0xA0, tlv(0x30, join({version, tlv(0x31, sha256),
                                      tlv(0x30, join({data_oid, tlv(0xA0, string)})), infos})))}));
}

// The same message without its content.
Bytes without_content_of(const Bytes& infos = signer_infos) {
  return tlv(
      0x30,
      join({signed_data_oid,
            tlv(0xA0, tlv(0x30, join({version, tlv(0x31, sha256), tlv(0x30, data_oid), infos})))}));
}

const Bytes message = message_with(tlv(0x04, content));
const Bytes without_content = without_content_of();

// Stands in for a back end: takes one message without content, and keeps what it was told.
class Receiver final : public MessageReceiver {
 public:
  explicit Receiver(Bytes accepted) : accepted_(std::move(accepted)) {}
  void restart() override {
    ++readings;
    algorithms.clear();
    received.clear();
  }
  void digest_algorithms(const std::vector<Bytes>& listed) override { algorithms = listed; }
  void content(ByteView bytes) override {
    EXPECT_FALSE(algorithms.empty()) << "the digest algorithms come before the content";
    received.insert(received.end(), bytes.begin(), bytes.end());
  }
  bool accept(ByteView message_without_content) override {
    return Bytes(message_without_content.begin(), message_without_content.end()) == accepted_;
  }

  int readings = 0;
  std::vector<Bytes> algorithms;
  Bytes received;

 private:
  Bytes accepted_;
};

// The content a reading passed on, or the number it failed with.
using Result = std::variant<Bytes, std::int32_t>;

// Reads `text`; the receiver's content when it accepted, else the failure's number.
Result read(const Text& text, const Bytes& accepted = without_content) {
  Receiver receiver(accepted);
  const std::int32_t number =
      testing::failure_number([&] { read_message(MemoryMessage(text), windows_1252(), receiver); });
  if (number != 0) return number;
  EXPECT_EQ(receiver.algorithms, std::vector<Bytes>{sha256});
  return receiver.received;
}

const Result the_content = content;

Result failed(CryptError error) {
  return crypt_error_number(error);
}

TEST(MessageReading, FindsTheMessageInEveryFormCallersAndFilesHold) {
  // Base64 text, as signature files hold it and callers pass it.
  EXPECT_EQ(read(base64_lines(message)), the_content);
  EXPECT_EQ(read(u"-----BEGIN PKCS7-----\r\n" + base64_lines(message) + u"-----END PKCS7-----\r\n"),
            the_content);
  // DER read through the code page.
  EXPECT_EQ(read(decode_text(windows_1252(), message)), the_content);
  // A file read byte-exact: DER, or Base64 text, of even and odd length (the odd one gains a
  // zero byte).
  EXPECT_EQ(read(text_from_content_bytes(message)), the_content);
  EXPECT_EQ(read(text_from_content_bytes(join({message, {0x00}}))), the_content);
  for (const Text& lines : {base64_lines(message), base64_lines(message) + u"\n"}) {
    const Bytes ascii(lines.begin(), lines.end());
    EXPECT_EQ(read(text_from_content_bytes(ascii)), the_content) << ascii.size();
  }
}

TEST(MessageReading, CompletesDerThatEndedInSpacesTheReaderTrimmed) {
  // A message whose last bytes are space code units, which a file read byte-exact loses.
  const Bytes infos = tlv(0x31, tlv(0x04, {0x41, 0x20, 0x00, 0x20, 0x00}));
  Bytes spaced = message_with(tlv(0x04, content), infos);
  if (spaced.size() % 2 == 1) spaced = message_with(tlv(0x04, join({content, {'f'}})), infos);
  Text trimmed = text_from_content_bytes(spaced);
  while (trimmed.back() == u' ') trimmed.pop_back();
  ASSERT_EQ(trimmed.size() * 2, spaced.size() - 4);
  Receiver receiver(without_content_of(infos));
  EXPECT_EQ(testing::failure_number(
                [&] { read_message(MemoryMessage(trimmed), windows_1252(), receiver); }),
            0);
}

TEST(MessageReading, ReadsBerAsOpenSslReadsIt) {
  // Indefinite lengths throughout, and the content in a constructed string of parts.
  const Bytes parts = join({tlv(0x04, {'a', 'b'}), indefinite(0x24, tlv(0x04, {'c'})),
                            tlv(0x04, {}), tlv(0x04, {'d', 'e'})});
  const Bytes ber = indefinite(
      0x30,
      join({signed_data_oid,
            indefinite(
                0xA0,
                indefinite(
                    0x30, join({version, tlv(0x31, sha256),
                                indefinite(0x30, join({data_oid,
                                                       indefinite(0xA0, indefinite(0x24, parts))})),
                                signer_infos})))}));
  EXPECT_EQ(read(text_from_content_bytes(ber)), the_content);

  // A string nested deeper than OpenSSL collects, end-of-contents where a length is definite,
  // and anything after the message are not a message.
  Bytes deep = tlv(0x04, content);
  for (int i = 0; i < 7; ++i) deep = indefinite(0x24, deep);
  EXPECT_EQ(read(text_from_content_bytes(message_with(deep))), failed(CryptError::asn1_corrupt));
  EXPECT_EQ(read(text_from_content_bytes(message_with(tlv(0x24, {0x00, 0x00})))),
            failed(CryptError::asn1_corrupt));
  EXPECT_EQ(read(text_from_content_bytes(join({message, {0x05, 0x00}}))),
            failed(CryptError::asn1_corrupt));
}

TEST(MessageReading, SaysWhatFailedWhenNoFormIsAMessage) {
  EXPECT_EQ(read(u"not a message"), failed(CryptError::asn1_bad_tag));
  EXPECT_EQ(read(u""), failed(CryptError::asn1_bad_tag));
  // Cut to an even length: a file of odd length would end in the zero of its last unit.
  const Bytes cut(message.begin(), message.end() - 11);
  ASSERT_EQ(cut.size() % 2, 0u);
  EXPECT_EQ(read(text_from_content_bytes(cut)), failed(CryptError::asn1_end_of_data));
  EXPECT_EQ(read(base64_lines(cut)), failed(CryptError::asn1_end_of_data));
  // A message the back end does not take.
  EXPECT_EQ(read(base64_lines(message), Bytes{}), failed(CryptError::asn1_corrupt));
}

}  // namespace
}  // namespace orvane::provider
