#include "signing/envelope.h"

#include <algorithm>
#include <optional>

#include "runtime/failure.h"

namespace orvane::signing {
namespace {

bool is_digit(char16_t c) {
  return c >= u'0' && c <= u'9';
}

bool is_control_character(char16_t c) {
  return c < 0x20 || (c >= 0x7F && c <= 0x9F);
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
  // The last digit alone, as messages have always been read, whenever it names a field the
  // writer makes: a final "0" is then always an empty extension, and a text that ends in
  // digits stays whole.
  const std::size_t before_last = content.size() - 1;
  const auto last = static_cast<std::size_t>(content.back() - u'0');
  if (last <= before_last) {
    const TextView field = content.substr(before_last - last, last);
    if (is_extension_field(field)) return {content.substr(0, before_last - last), field};
  }

  // Only then a length of two digits or more, the longest first.
  std::size_t run = 0;
  while (run < content.size() && is_digit(content[content.size() - 1 - run])) ++run;
  for (std::size_t digits = run; digits >= 2; --digits) {
    const std::size_t before = content.size() - digits;
    const auto length = writer_length(content.substr(before), before);
    if (!length) continue;
    const TextView field = content.substr(before - *length, *length);
    if (is_extension_field(field)) return {content.substr(0, before - *length), field};
  }

  // No reading names a field the writer makes: the last digit alone decides.
  if (last > before_last) throw Failure(RuntimeError::invalid_procedure_call);
  return {content.substr(0, before_last - last), content.substr(before_last - last, last)};
}

Text output_name(TextView file_name, TextView extension, FileNameRules rules) {
  const auto separator = file_name.find_last_of(u"/\\");
  const std::size_t name_start = separator == TextView::npos ? 0 : separator + 1;
  // Four characters are dropped: some of the file's own name must stay, or the restored name
  // would be its folder's name with the extension ('~/abc' would give '~.pdf').
  if (file_name.size() - name_start <= 4) throw Failure(RuntimeError::invalid_procedure_call);
  // The writer met a dot in a folder name: that is no extension, and it must not lead the
  // restored file into another folder.
  if (extension.find_first_of(u"/\\") != TextView::npos) extension = {};
  if (std::any_of(extension.begin(), extension.end(), is_control_character)) {
    throw Failure(RuntimeError::invalid_procedure_call);
  }
  Text name(file_name.substr(0, file_name.size() - 4));
  if (!extension.empty() && extension.front() != u'.') name += u'.';
  name += extension;
  if (!can_name_a_file(rules, TextView(name).substr(name_start))) {
    throw Failure(RuntimeError::invalid_procedure_call);
  }
  return name;
}

}  // namespace orvane::signing
