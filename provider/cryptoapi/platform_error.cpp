#include "provider/cryptoapi/platform_error.h"

#include <windows.h>
// After windows.h:
#include <winternl.h>

#include "provider/crypt_error.h"
#include "runtime/windows/wide_text.h"

namespace orvane::provider::cryptoapi {

Failure platform_failure(std::uint32_t error) {
  // crypt32 reports HRESULTs already; plain system codes become one.
  const auto code = static_cast<std::uint32_t>(HRESULT_FROM_WIN32(error));
  if (code == 0) return crypt_failure(CryptError::message_error);
  wchar_t buffer[512];
  DWORD length =
      ::FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                       buffer, sizeof buffer / sizeof buffer[0], nullptr);
  while (length > 0 && (buffer[length - 1] == L'\r' || buffer[length - 1] == L'\n')) --length;
  Text text = windows::text_from_wide(buffer, length);
  if (text.empty()) text = crypt_error_text(static_cast<CryptError>(code));
  return Failure(static_cast<std::int32_t>(code), std::move(text));
}

Failure last_platform_failure() {
  return platform_failure(::GetLastError());
}

Failure bcrypt_failure(std::int32_t status) {
  return platform_failure(::RtlNtStatusToDosError(static_cast<NTSTATUS>(status)));
}

}  // namespace orvane::provider::cryptoapi
