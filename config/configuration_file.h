#pragma once

#include "config/xml.h"
#include "runtime/platform.h"

namespace orvane::config {

inline constexpr TextView serial_number_start_tag = u"<SerialNumber>";
inline constexpr TextView serial_number_end_tag = u"</SerialNumber>";
inline constexpr TextView log_folder_start_tag = u"<LogError>";
inline constexpr TextView log_folder_end_tag = u"</LogError>";
inline constexpr TextView revocation_check_start_tag = u"<RevocationCheck>";
inline constexpr TextView revocation_check_end_tag = u"</RevocationCheck>";
inline constexpr TextView timestamp_url_start_tag = u"<TimestampURL>";
inline constexpr TextView timestamp_url_end_tag = u"</TimestampURL>";
inline constexpr TextView timestamp_policy_start_tag = u"<TimestampPolicy>";
inline constexpr TextView timestamp_policy_end_tag = u"</TimestampPolicy>";

// The machine-wide configuration file: the system directory, the platform's separator and
// "KPXServiceControl.INI".
Text configuration_path(const Platform& platform);

// The value between `start_tag` and `end_tag` in the configuration file, character for
// character; "" when the file, the tags or the value are missing. Reads the file afresh through
// `xml` and leaves it empty again. Throws only when the file system itself fails.
Text read_configuration_value(XML& xml, FileSystem& files, const Text& path, TextView start_tag,
                              TextView end_tag);

}  // namespace orvane::config
