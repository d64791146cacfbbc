#include "signing/envelope.h"

#include <algorithm>
#include <iterator>
#include <optional>
#include <utility>

#include "runtime/failure.h"

namespace orvane::signing {
namespace {

bool is_digit(char16_t c) {
  return c >= u'0' && c <= u'9';
}

bool is_control_character(char32_t c) {
  return c < 0x20 || (c >= 0x7F && c <= 0x9F);
}

// Unicode's format characters (general category Cf) and the line and paragraph separators:
// invisible, yet they change how a name shows. 'report.' U+202E 'fdp.exe' shows in Explorer as
// 'report.exe.pdf'.
bool is_format_character(char32_t c) {
  constexpr std::pair<char32_t, char32_t> ranges[] = {
      {0x00AD, 0x00AD},   {0x0600, 0x0605},   {0x061C, 0x061C},   {0x06DD, 0x06DD},
      {0x070F, 0x070F},   {0x0890, 0x0891},   {0x08E2, 0x08E2},   {0x180E, 0x180E},
      {0x200B, 0x200F},   {0x2028, 0x202E},   {0x2060, 0x2064},   {0x2066, 0x206F},
      {0xFEFF, 0xFEFF},   {0xFFF9, 0xFFFB},   {0x110BD, 0x110BD}, {0x110CD, 0x110CD},
      {0x13430, 0x1343F}, {0x1BCA0, 0x1BCA3}, {0x1D173, 0x1D17A}, {0xE0001, 0xE0001},
      {0xE0020, 0xE007F},
  };
  return std::any_of(std::begin(ranges), std::end(ranges),
                     [c](const auto& range) { return c >= range.first && c <= range.second; });
}

// Whether `extension` holds a character that makes a name show other than it is.
bool holds_misleading_character(TextView extension) {
  for (std::size_t i = 0; i < extension.size(); ++i) {
    char32_t c = extension[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < extension.size() && extension[i + 1] >= 0xDC00 &&
        extension[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (extension[++i] - 0xDC00);
    }
    if (is_control_character(c) || is_format_character(c)) return true;
  }
  return false;
}

// The digits as a number, or nothing when they are not as the writer writes a length (no
// leading zero) or the number cannot be a length within `limit`.
std::optional<std::uint64_t> writer_length(TextView digits, std::uint64_t limit) {
  if (digits.size() > 1 && digits.front() == u'0') return std::nullopt;
  std::uint64_t value = 0;
  for (char16_t c : digits) {
    // Checked before it grows, so that twenty digits cannot wrap around.
    const auto digit = static_cast<std::uint64_t>(c - u'0');
    if (digit > limit || value > (limit - digit) / 10) return std::nullopt;
    value = value * 10 + digit;
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

EnvelopeEnd split_envelope_end(TextView tail, std::uint64_t length, std::uint64_t last_dot) {
  if (length == 0 || !is_digit(tail.back())) throw Failure(RuntimeError::type_mismatch);
  // Positions are of the whole content; the tail holds those from `first`.
  const std::uint64_t first = length - tail.size();
  const auto field_at = [&](std::uint64_t start, std::uint64_t end) {
    return tail.substr(static_cast<std::size_t>(start - first),
                       static_cast<std::size_t>(end - start));
  };
  // The last digit alone, as messages have always been read, whenever it names a field the
  // writer makes: a final "0" is then always an empty extension, and a text that ends in
  // digits stays whole.
  const std::uint64_t before_last = length - 1;
  const auto last = static_cast<std::uint64_t>(tail.back() - u'0');
  if (last <= before_last) {
    const TextView field = field_at(before_last - last, before_last);
    if (is_extension_field(field)) return {before_last - last, field};
  }

  // Only then a length of two digits or more, the longest first; more than twenty digits name
  // no length a content can have.
  std::size_t run = 0;
  while (run < tail.size() && run < 20 && is_digit(tail[tail.size() - 1 - run])) ++run;
  for (std::size_t digits = run; digits >= 2; --digits) {
    const std::uint64_t before = length - digits;
    const auto field_length = writer_length(tail.substr(tail.size() - digits), before);
    if (!field_length) continue;
    const std::uint64_t start = before - *field_length;
    if (start >= first) {
      const TextView field = field_at(start, before);
      if (is_extension_field(field)) return {start, field};
    } else if (start == last_dot) {
      // A field longer than the tail: the writer's field from the last "." on.
      return {start, std::nullopt};
    }
  }

  // No reading names a field the writer makes: the last digit alone decides.
  if (last > before_last) throw Failure(RuntimeError::invalid_procedure_call);
  return {before_last - last, field_at(before_last - last, before_last)};
}

SplitEnvelope split_envelope(TextView content) {
  const auto dot = content.rfind(u'.');
  const EnvelopeEnd end =
      split_envelope_end(content, content.size(), dot == TextView::npos ? ~std::uint64_t{0} : dot);
  return {content.substr(0, static_cast<std::size_t>(end.text_length)), *end.extension};
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
  if (holds_misleading_character(extension)) throw Failure(RuntimeError::invalid_procedure_call);
  Text name(file_name.substr(0, file_name.size() - 4));
  if (!extension.empty() && extension.front() != u'.') name += u'.';
  name += extension;
  if (!can_name_a_file(rules, TextView(name).substr(name_start))) {
    throw Failure(RuntimeError::invalid_procedure_call);
  }
  return name;
}

}  // namespace orvane::signing
