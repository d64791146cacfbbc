// The error-log methods of Sign.
#include "config/error_log.h"

#include "config/configuration_file.h"
#include "runtime/failure.h"
#include "runtime/text_stream.h"
#include "signing/sign.h"

namespace orvane::signing {

namespace {

// A failure met while reporting a failure is reported once more, then dropped, so that a log
// that cannot be written never recurses.
constexpr int deepest_report = 1;

}  // namespace

void Sign::LogError(const Text& sErr) {
  log_error(sErr, 0);
}

void Sign::log_error(const Text& sErr, int nesting) {
  try {
    if (sLogFilePath.empty()) CreateErrorLogFolder(nesting);
    // One append of the whole entry, to a file created when missing: concurrent writers
    // never interleave or erase each other's entries.
    auto log =
        TextFileWriter::open_for_append(*platform_.files, *platform_.code_page, sLogFilePath);
    log.write(config::log_entry(platform_.clock->now(), sErr));
    log.close();
  } catch (...) {
    if (nesting < deepest_report) {
      log_error(u"Orvane.Dll : LogErrorErr : " + current_failure().description(), nesting + 1);
    }
  }
}

void Sign::CreateErrorLogFolder(int nesting) {
  if (!trim_spaces(sLogFilePath).empty()) return;
  try {
    const Text path = config::configuration_path(platform_);
    const Text folder = config::read_configuration_value(
        xml(), *platform_.files, path, config::log_folder_start_tag, config::log_folder_end_tag);
    if (!platform_.files->folder_exists(folder)) platform_.files->create_folder(folder);
    // The day is fixed here: an object that lives past midnight keeps its first day's file.
    sLogFilePath =
        folder + platform_.path_separator + config::log_file_name(platform_.clock->now());
  } catch (...) {
    if (nesting < deepest_report) {
      log_error(u"Orvane.Dll : Error in CreateErrorLogFolder : " + current_failure().description(),
                nesting + 1);
    }
  }
}

}  // namespace orvane::signing
