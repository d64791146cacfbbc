#include "runtime/windows/ansi_code_page.h"

#include <windows.h>

#include <array>
#include <memory>
#include <vector>

namespace orvane::windows {
namespace {

// A single-byte code page as a table of its 256 characters, read from the system once. Bytes
// that the code page leaves unassigned stand for the code unit of the same value, as in the
// built-in Windows-1252, so that every byte round-trips.
class TableCodePage final : public CodePage {
 public:
  explicit TableCodePage(const std::array<char16_t, 256>& characters)
      : to_unicode_(characters), to_byte_(0x10000, unrepresentable) {
    // Backwards, so that a character two bytes share encodes to the lower byte.
    for (unsigned b = 256; b-- > 0;) to_byte_[characters[b]] = static_cast<std::int16_t>(b);
  }

  void decode(ByteView bytes, char16_t* out) const override {
    for (const std::uint8_t b : bytes) *out++ = to_unicode_[b];
  }

  // Only the exact inverse of the table: the system's own encoder would write a "best fit"
  // for a character the page lacks ("\u2215" as "/", a full-width letter as its ASCII one),
  // which could turn a harmless name into a path.
  std::size_t encode(TextView text, std::uint8_t* out, std::uint8_t replacement) const override {
    std::size_t replaced = 0;
    for (const char16_t c : text) {
      const std::int16_t b = to_byte_[c];
      if (b == unrepresentable) ++replaced;
      *out++ = b == unrepresentable ? replacement : static_cast<std::uint8_t>(b);
    }
    return replaced;
  }

 private:
  static constexpr std::int16_t unrepresentable = -1;
  std::array<char16_t, 256> to_unicode_;
  std::vector<std::int16_t> to_byte_;
};

}  // namespace

std::unique_ptr<CodePage> system_code_page(unsigned identifier) {
  CPINFO info{};
  if (!::GetCPInfo(identifier, &info) || info.MaxCharSize != 1) return nullptr;
  std::array<char16_t, 256> characters{};
  for (unsigned b = 0; b < 256; ++b) {
    const char byte = static_cast<char>(b);
    wchar_t character = 0;
    const bool assigned =
        ::MultiByteToWideChar(identifier, MB_ERR_INVALID_CHARS, &byte, 1, &character, 1) == 1;
    characters[b] = assigned ? static_cast<char16_t>(character) : static_cast<char16_t>(b);
  }
  return std::make_unique<TableCodePage>(characters);
}

const CodePage& ansi_code_page() {
  static const std::unique_ptr<CodePage> system =
      ::GetACP() == 1252 ? nullptr : system_code_page(::GetACP());
  return system ? *system : windows_1252();
}

}  // namespace orvane::windows
