#include "provider/serial_number.h"

#include "provider/der.h"

namespace orvane::provider {
namespace {

constexpr std::uint8_t version_tag = der_tag::context_0;  // absent for version 1

}  // namespace

Text serial_number_hex(ByteView integer_content) {
  constexpr char16_t digits[] = u"0123456789ABCDEF";
  Text text;
  text.reserve(integer_content.size() * 2);
  for (const std::uint8_t octet : integer_content) {
    text.push_back(digits[octet >> 4]);
    text.push_back(digits[octet & 0x0F]);
  }
  return text;
}

std::optional<Text> certificate_serial_number(ByteView certificate_der) {
  const auto certificate = take_der_element(certificate_der);
  if (!certificate || certificate->tag != der_tag::sequence) return std::nullopt;
  ByteView fields = certificate->content;
  const auto to_be_signed = take_der_element(fields);
  if (!to_be_signed || to_be_signed->tag != der_tag::sequence) return std::nullopt;
  ByteView tbs_fields = to_be_signed->content;
  auto serial = take_der_element(tbs_fields);
  if (serial && serial->tag == version_tag) serial = take_der_element(tbs_fields);
  if (!serial || serial->tag != der_tag::integer || serial->content.empty()) return std::nullopt;
  return serial_number_hex(serial->content);
}

}  // namespace orvane::provider
