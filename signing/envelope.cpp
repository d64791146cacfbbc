#include "signing/envelope.h"

#include <optional>

#include "runtime/failure.h"

namespace orvane::signing {
namespace {

bool is_digit(char16_t c) {
  return c >= u'0' && c <= u'9';
}

// The digits as a number, or nothing when they are not as the writer writes a length (no
// leading zero) or the number cannot be a length within `limit`.
std::optional<std::size_t> writer_length(TextView digits, std::size_t limit) {
  if (digits.size() > 1 && digits.front() == u'0') return std::nullopt;
  std::size_t value = 0;
  for (char16_t c : digits) {
    value = value * 10 + static_cast<std::size_t>(c - u'0');
    if (value > limit) return std::nullopt;
  }
  return value;
}

// True when `field` could be an extension field the writer made.
bool is_extension_field(TextView field) {
  return field.empty() || (field.front() == u'.' && field.find(u'.', 1) == TextView::npos);
}

}  // namespace

std::size_t extension_length(TextView path) {
  const auto dot = path.rfind(u'.');
  return dot == TextView::npos ? 0 : path.size() - dot;
}

Text base_name(TextView path) {
  return Text(path.substr(0, path.size() - extension_length(path)));
}

Text envelope_trailer(TextView path) {
  const std::size_t length = extension_length(path);
  return Text(path.substr(path.size() - length)) + decimal_text(static_cast<std::int64_t>(length));
}

SplitEnvelope split_envelope(TextView content) {
  if (content.empty() || !is_digit(content.back())) throw Failure(RuntimeError::type_mismatch);
  std::size_t run = 0;
  while (run < content.size() && is_digit(content[content.size() - 1 - run])) ++run;

  for (std::size_t digits = run; digits >= 1; --digits) {
    const std::size_t before = content.size() - digits;
    const auto length = writer_length(content.substr(before), before);
    if (!length) continue;
    const TextView field = content.substr(before - *length, *length);
    if (is_extension_field(field)) {
      return {content.substr(0, before - *length), field};
    }
  }

  // No suffix is a length the writer could have made: the last digit alone decides.
  const auto length = static_cast<std::size_t>(content.back() - u'0');
  if (length > content.size() - 1) throw Failure(RuntimeError::invalid_procedure_call);
  const std::size_t before = content.size() - 1;
  return {content.substr(0, before - length), content.substr(before - length, length)};
}

Text output_name(TextView file_name, TextView extension) {
  if (file_name.size() < 4) throw Failure(RuntimeError::invalid_procedure_call);
  Text name(file_name.substr(0, file_name.size() - 4));
  if (!extension.empty() && extension.front() != u'.') name += u'.';
  name += extension;
  return name;
}

}  // namespace orvane::signing
