#include "tests/com/server_registration.h"

#include <fstream>

#include "runtime/windows/owned.h"

namespace orvane::com::testing {

DWORD run(std::wstring command) {
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process)) {
    return GetLastError() | 0x80000000u;
  }
  const windows::UniqueHandle thread(process.hThread);
  const windows::UniqueHandle program(process.hProcess);
  WaitForSingleObject(program.get(), INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(program.get(), &code);
  return code;
}

std::wstring quoted(const wchar_t* path) {
  return L" \"" + std::wstring(path) + L"\"";
}

DWORD regsvr32(const wchar_t* options, const wchar_t* dll) {
  return run(L"regsvr32.exe " + std::wstring(options) + quoted(dll));
}

std::wstring pfx_password(const std::filesystem::path& pki_folder) {
  std::ifstream in(pki_folder / "pfx-password.txt");
  std::string password;
  std::getline(in, password);
  return std::wstring(password.begin(), password.end());
}

void RegisteredServer::SetUp() {
  ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
  ASSERT_EQ(regsvr32(L"/s"), 0u);
  wchar_t temporary[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, temporary);
  folder_ =
      std::filesystem::path(temporary) / ("orvane-com-" + std::to_string(GetCurrentProcessId()));
  std::filesystem::create_directories(folder_);
}

void RegisteredServer::TearDown() {
  regsvr32(L"/u /s");
  CoUninitialize();
  std::error_code ignored;
  std::filesystem::remove_all(folder_, ignored);
}

}  // namespace orvane::com::testing
