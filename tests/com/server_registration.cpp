#include "tests/com/server_registration.h"

namespace orvane::com::testing {

DWORD run(std::wstring command) {
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process)) {
    return GetLastError() | 0x80000000u;
  }
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return code;
}

std::wstring quoted(const wchar_t* path) {
  return L" \"" + std::wstring(path) + L"\"";
}

DWORD regsvr32(const wchar_t* options, const wchar_t* dll) {
  return run(L"regsvr32.exe " + std::wstring(options) + quoted(dll));
}

}  // namespace orvane::com::testing
