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

 private:
  // The reader of the configuration file, created on first use and kept for the object's life.
  config::XML& xml();

  Platform platform_;
  std::shared_ptr<provider::Factory> provider_;

  std::unique_ptr<config::XML> objXml;
  // Full path of the error-log file; fixed by the first entry that resolves it.
  Text sLogFilePath;
};

}  // namespace orvane::signing
