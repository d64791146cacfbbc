#include "config/error_log.h"

namespace orvane::config {

Text log_file_name(const LocalDateTime& today) {
  return u"KPX_Error_Log_" + format_ddmmyyyy(today) + u".txt";
}

Text log_entry(const LocalDateTime& now, TextView entry_text) {
  // The time stamp is framed by single spaces and the fixed text begins with its own, so two
  // spaces stand before the dash.
  Text entry = u"\r\n " + format_date_time(now) + u"  - Orvane.dll : ";
  entry += entry_text;
  entry += u"\r\n";
  return entry;
}

}  // namespace orvane::config
