#pragma once

#include <memory>

#include "config/xml.h"
#include "provider/provider.h"
#include "runtime/platform.h"
#include "runtime/text.h"
#include "runtime/variant.h"

namespace orvane::signing {

// The `Sign` class: signs files and texts as CMS signed-data messages with a certificate named
// by its serial number, and verifies such messages. Every method answers with text and never
// throws; by-reference parameters are in/out, as a COM caller sees them.
//
// An object is used by one thread at a time. Between calls it keeps only its XML reader and
// the error-log path.
class Sign {
 public:
  // An object on `platform` whose cryptography comes from `provider`.
  Sign(Platform platform, std::shared_ptr<provider::Factory> provider);
  ~Sign();
  Sign(const Sign&) = delete;
  Sign& operator=(const Sign&) = delete;

  // The serial number that the configuration file names under "<SerialNumber>", character for
  // character; "" when the file or the value is missing; "-1", logged, when reading fails.
  Text GetSerialNO();

  // Appends `sErr` to the daily error log of the folder that the configuration file names
  // under "<LogError>". Never fails: an entry that cannot be written is reported once more
  // in the log and then dropped.
  void LogError(const Text& sErr);

 private:
  // Fixes sLogFilePath to today's log file, creating the log folder (one level) if needed.
  // Leaves it empty, and reports why, when the folder cannot be resolved.
  void CreateErrorLogFolder(int nesting);
  // LogError at a depth of nested failure reports; reports of depth 1 are not reported again.
  void log_error(const Text& sErr, int nesting);

  // The reader of the configuration file, created on first use and kept for the object's life.
  config::XML& xml();

  Platform platform_;
  std::shared_ptr<provider::Factory> provider_;

  std::unique_ptr<config::XML> objXml;
  // Full path of the error-log file; fixed by the first entry that resolves it.
  Text sLogFilePath;
};

}  // namespace orvane::signing
