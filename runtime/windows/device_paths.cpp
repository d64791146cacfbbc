#include "runtime/windows/device_paths.h"

#include "runtime/file_names.h"

namespace orvane::windows {
namespace {

// The longest path that the system takes, in UTF-16 units: the \\?\ form's limit.
constexpr std::size_t longest_path = 32767;

char16_t upper(char16_t c) {
  return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - u'a' + u'A') : c;
}

bool equal_ignoring_case(TextView a, TextView b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (upper(a[i]) != upper(b[i])) return false;
  }
  return true;
}

bool is_separator(char16_t c) {
  return c == u'\\' || c == u'/';
}

bool starts_with_separators(TextView path, std::size_t count) {
  if (path.size() < count) return false;
  for (std::size_t i = 0; i < count; ++i) {
    if (!is_separator(path[i])) return false;
  }
  return true;
}

// The path's first component after `start`, up to the next separator.
TextView component_at(TextView path, std::size_t start) {
  if (start >= path.size()) return {};
  const TextView rest = path.substr(start);
  std::size_t end = 0;
  while (end < rest.size() && !is_separator(rest[end])) ++end;
  return rest.substr(0, end);
}

bool is_drive(TextView component) {
  return component.size() == 2 && upper(component[0]) >= u'A' && upper(component[0]) <= u'Z' &&
         component[1] == u':';
}

}  // namespace

bool is_device_path(TextView path) {
  if (path.size() > longest_path) return true;
  // \??\ hands the rest to the kernel unchecked.
  if (path.size() >= 4 && path[0] == u'\\' && path[1] == u'?' && path[2] == u'?' &&
      path[3] == u'\\') {
    return true;
  }
  if (starts_with_separators(path, 2) && path.size() >= 4 && is_separator(path[3])) {
    if (path[2] == u'.') return true;
    if (path[2] == u'?') {
      const TextView first = component_at(path, 4);
      if (!is_drive(first) && !equal_ignoring_case(first, u"UNC")) return true;
    }
  }
  // \\server\share, also as \\?\UNC\server\share: the share "pipe" or "mailslot" is no disk.
  std::size_t server_start = 0;
  if (starts_with_separators(path, 2)) {
    server_start = path.size() > 2 && path[2] == u'?' ? 8 : 2;
  }
  if (server_start != 0 && path.size() > server_start) {
    const TextView server = component_at(path, server_start);
    const TextView share = component_at(path, server_start + server.size() + 1);
    if (equal_ignoring_case(share, u"PIPE") || equal_ignoring_case(share, u"MAILSLOT")) {
      return true;
    }
  }
  std::size_t start = 0;
  for (std::size_t i = 0; i <= path.size(); ++i) {
    if (i == path.size() || is_separator(path[i])) {
      if (is_windows_device_name(path.substr(start, i - start))) return true;
      start = i + 1;
    }
  }
  return false;
}

}  // namespace orvane::windows
