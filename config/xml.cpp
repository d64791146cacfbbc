#include "config/xml.h"

#include "runtime/text_stream.h"

namespace orvane::config {

XML::XML(std::shared_ptr<FileSystem> files, const CodePage& code_page)
    : files_(std::move(files)), code_page_(&code_page) {}

bool XML::LoadXml(const Text& Path, VariantBool INI) {
  sXmlData.clear();
  try {
    sXmlData = read_text_file(*files_, *code_page_, Path);
  } catch (...) {
    // Whatever stops the reading, a file too large for memory included, is a failed load.
    return false;
  }
  if (INI != vb_false) return true;
  return sXmlData.find(u"</MessageInfo>") != Text::npos;
}

Text XML::ReadNodeData(const Text& XmlData, const Text& StartNode, const Text& EndNode) const {
  // Both tags are searched from the first character: the first end tag counts even when it
  // stands before the first start tag, which then yields nothing.
  const auto start_tag = XmlData.find(StartNode);
  const auto end_tag = XmlData.find(EndNode);
  if (start_tag == Text::npos || end_tag == Text::npos) return {};
  const auto start = start_tag + StartNode.size();
  if (end_tag <= start) return {};
  return XmlData.substr(start, end_tag - start);
}

void XML::CloseXml() {
  sXmlData.clear();
}

}  // namespace orvane::config
