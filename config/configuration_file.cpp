#include "config/configuration_file.h"

#include "config/system_directory.h"

namespace orvane::config {

Text configuration_path(const Platform& platform) {
  return GetSystemDir(platform) + platform.path_separator + u"KPXServiceControl.INI";
}

Text read_configuration_value(XML& xml, FileSystem& files, const Text& path, TextView start_tag,
                              TextView end_tag) {
  if (!files.file_exists(path)) return {};
  const Text text = xml.LoadXml(path, vb_true) ? xml.sXmlData : Text();
  Text value = xml.ReadNodeData(text, Text(start_tag), Text(end_tag));
  xml.CloseXml();
  return value;
}

}  // namespace orvane::config
