#pragma once

#include <string>

#include "runtime/text.h"

namespace orvane::windows {

// Windows' wide characters are UTF-16 code units, as Text's are: a Text passes to the
// wide-character API unchanged, so any name a caller writes reaches the system as written.
static_assert(sizeof(wchar_t) == sizeof(char16_t));

inline const wchar_t* wide(const Text& text) {
  return reinterpret_cast<const wchar_t*>(text.c_str());
}

inline Text text_from_wide(const wchar_t* wide_text, std::size_t length) {
  return Text(reinterpret_cast<const char16_t*>(wide_text), length);
}

}  // namespace orvane::windows
