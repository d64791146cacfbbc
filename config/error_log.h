#pragma once

#include "runtime/clock.h"
#include "runtime/text.h"

namespace orvane::config {

// "KPX_Error_Log_" + ddMMyyyy + ".txt": the daily log file of the day `today`.
Text log_file_name(const LocalDateTime& today);

// One entry as it stands in the log: an empty line, then the time stamp, " - Orvane.dll : "
// and the entry text, lines ended by CR LF.
Text log_entry(const LocalDateTime& now, TextView entry_text);

}  // namespace orvane::config
