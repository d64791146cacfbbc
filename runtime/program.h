#pragma once

// What a command-line program takes from its platform: its arguments and the paths it names,
// as UTF-8 whatever the platform's own encoding of them.

#include <filesystem>
#include <string>
#include <vector>

namespace orvane {

// The program's arguments, the program's name first, as UTF-8. Windows hands main() its
// arguments in the ANSI code page, where a name outside it is lost: there they are read again
// from the wide-character command line, and the console is set to show UTF-8 output.
std::vector<std::string> program_arguments(int argc, char** argv);

// Whether standard error is a terminal (a console), where a person reads it as it comes.
bool standard_error_is_terminal();

// A path from its UTF-8 text, and back; the narrow path functions use the ANSI code page on
// Windows.
std::filesystem::path path_from_utf8(const std::string& text);
std::string path_to_utf8(const std::filesystem::path& path);

}  // namespace orvane
