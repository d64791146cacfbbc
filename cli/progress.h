#pragma once

#include <memory>
#include <ostream>

#include "runtime/file_system.h"

namespace orvane::cli {

// `files`, showing on `terminal` how far the reading of each large file has got: bytes done,
// rate and time left, on one line written over as it goes and cleared when the file is done.
// For a person watching a terminal; scripts get nothing of it.
std::shared_ptr<FileSystem> with_progress(std::shared_ptr<FileSystem> files,
                                          std::ostream& terminal);

}  // namespace orvane::cli
