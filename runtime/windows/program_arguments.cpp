#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include "runtime/program.h"
#include "runtime/windows/owned.h"
#include "runtime/windows/wide_text.h"

namespace orvane {

std::vector<std::string> program_arguments(int argc, char** argv) {
  // Output is UTF-8 text; a console otherwise shows it in its OEM code page.
  ::SetConsoleOutputCP(CP_UTF8);
  int count = 0;
  const windows::LocalMemory<LPWSTR> wide_arguments(
      ::CommandLineToArgvW(::GetCommandLineW(), &count));
  if (!wide_arguments) return std::vector<std::string>(argv, argv + argc);
  std::vector<std::string> arguments;
  for (int i = 0; i < count; ++i) {
    const wchar_t* argument = wide_arguments.get()[i];
    arguments.push_back(text_to_utf8(windows::text_from_wide(argument, ::wcslen(argument))));
  }
  return arguments;
}

bool standard_error_is_terminal() {
  DWORD mode = 0;
  return ::GetConsoleMode(::GetStdHandle(STD_ERROR_HANDLE), &mode) != FALSE;
}

}  // namespace orvane
