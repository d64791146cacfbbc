#include "runtime/file_names.h"

#include <algorithm>
#include <array>

namespace orvane {
namespace {

char16_t upper(char16_t c) {
  return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - u'a' + u'A') : c;
}

}  // namespace

bool is_windows_device_name(TextView name) {
  TextView stem = name.substr(0, name.find_first_of(u".:"));
  while (!stem.empty() && stem.back() == u' ') stem.remove_suffix(1);
  Text upper_stem(stem);
  std::transform(upper_stem.begin(), upper_stem.end(), upper_stem.begin(), upper);
  static constexpr std::array<TextView, 6> plain = {u"CON", u"PRN",    u"AUX",
                                                    u"NUL", u"CONIN$", u"CONOUT$"};
  if (std::find(plain.begin(), plain.end(), TextView(upper_stem)) != plain.end()) return true;
  if (upper_stem.size() != 4 ||
      !(upper_stem.starts_with(u"COM") || upper_stem.starts_with(u"LPT"))) {
    return false;
  }
  const char16_t number = upper_stem[3];
  return (number >= u'0' && number <= u'9') || number == u'\u00B9' || number == u'\u00B2' ||
         number == u'\u00B3';
}

bool can_name_a_file(FileNameRules rules, TextView name) {
  // "." and ".." name folders that exist already.
  if (name.empty() || name == u"." || name == u"..") return false;
  if (rules == FileNameRules::posix) {
    return name.find_first_of(TextView(u"/\0", 2)) == TextView::npos;
  }
  const bool forbidden_character = std::any_of(name.begin(), name.end(), [](char16_t c) {
    return c < 0x20 || TextView(u"<>:\"/\\|?*").find(c) != TextView::npos;
  });
  return !forbidden_character && name.back() != u'.' && name.back() != u' ' &&
         !is_windows_device_name(name);
}

}  // namespace orvane
