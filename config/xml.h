#pragma once

#include "runtime/platform.h"
#include "runtime/variant.h"

namespace orvane::config {

// The `XML` class: loads a text file and cuts out the text between two literal tags. Despite
// its name it parses neither XML nor INI. No member ever throws.
class XML {
 public:
  XML(std::shared_ptr<FileSystem> files, const CodePage& code_page);

  // The text most recently loaded; empty when created and after CloseXml.
  Text sXmlData;

  // Loads the whole text of `Path` into sXmlData. With `INI` True any readable file is
  // accepted; otherwise only one that contains "</MessageInfo>" (the text stays loaded either
  // way). A missing or unreadable file gives False and an empty sXmlData.
  bool LoadXml(const Text& Path, VariantBool INI = vb_false);

  // The text between the first `StartNode` and the first `EndNode` of `XmlData`, searched
  // independently and case-sensitively; "" when either is missing or the end tag comes first.
  Text ReadNodeData(const Text& XmlData, const Text& StartNode, const Text& EndNode) const;

  void CloseXml();

 private:
  std::shared_ptr<FileSystem> files_;
  const CodePage* code_page_;
};

}  // namespace orvane::config
