// The configuration file as anybody may have written it: the XML tag reader's LoadXml and
// ReadNodeData over any file and any tags, and GetSerialNO and LogError of a Sign object whose
// system directory holds that file, on a file system in memory.
#include <cstdint>

#include "config/xml.h"
#include "fuzz/memory_file_system.h"
#include "fuzz/require.h"
#include "signing/sign.h"

namespace {

using orvane::Text;
using orvane::fuzzing::require;

constexpr orvane::LocalDateTime now{2026, 12, 6, 20, 35, 44, 60};

class FixedClock final : public orvane::Clock {
 public:
  orvane::LocalDateTime now() const override { return ::now; }
};

// ReadNodeData's answer is the text that stands strictly between the first start tag and the
// first end tag, or nothing.
void check_node(const orvane::config::XML& xml, const Text& data, const Text& start,
                const Text& end) {
  const Text value = xml.ReadNodeData(data, start, end);
  const auto start_at = data.find(start);
  if (start_at == Text::npos || data.find(end) == Text::npos) {
    require(value.empty(), "nothing without both tags");
    return;
  }
  require(value.empty() || (data.compare(start_at + start.size(), value.size(), value) == 0 &&
                            data.find(end) == start_at + start.size() + value.size()),
          "the value lies between the first start tag and the first end tag");
}

// Tags cut from the text itself, at places the input chooses, so that they are found.
Text cut(const Text& text, std::uint8_t at, std::uint8_t length) {
  if (text.empty()) return {};
  const std::size_t from = at % text.size();
  return text.substr(from, length % 16);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  auto files = std::make_shared<orvane::fuzzing::MemoryFileSystem>();
  files->put_folder(u"/etc");
  files->put_folder(u"/etc/orvane");
  files->put_file(u"/etc/orvane/KPXServiceControl.INI", orvane::ByteView(data, size));
  const Text path = u"/etc/orvane/KPXServiceControl.INI";
  const orvane::CodePage& code_page = orvane::windows_1252();

  orvane::config::XML xml(files, code_page);
  require(xml.LoadXml(path, orvane::vb_true), "any readable file loads");
  const Text text = xml.sXmlData;
  require(text == orvane::decode_text(code_page, orvane::ByteView(data, size)),
          "the file's text, one character per byte");
  require(xml.LoadXml(path) == (text.find(u"</MessageInfo>") != Text::npos),
          "without INI only a message-info file is accepted");
  require(xml.sXmlData == text, "the text stays loaded either way");
  xml.CloseXml();
  require(xml.sXmlData.empty(), "closing empties it");

  check_node(xml, text, u"<SerialNumber>", u"</SerialNumber>");
  check_node(xml, text, u"<LogError>", u"</LogError>");
  if (size >= 4) {
    check_node(xml, text, cut(text, data[0], data[1]), cut(text, data[2], data[3]));
  }

  // The same file as the machine's configuration.
  const orvane::Platform platform{files, std::make_shared<FixedClock>(), &code_page, u"/etc/orvane",
                                  u'/'};
  orvane::signing::Sign sign(platform, nullptr);
  require(sign.GetSerialNO() == xml.ReadNodeData(text, u"<SerialNumber>", u"</SerialNumber>"),
          "the serial number is the tagged value");
  const auto before = files->files().size();
  sign.LogError(u"fuzz entry");
  // A usable folder gets the entry in the day's file, whole; any other leaves no file behind.
  const Text folder = xml.ReadNodeData(text, u"<LogError>", u"</LogError>");
  const orvane::Bytes* log = files->file(folder + u"/KPX_Error_Log_06122026.txt");
  require(files->files().size() == before + (log != nullptr ? 1 : 0), "no file but the log");
  if (log != nullptr) {
    const std::string written(log->begin(), log->end());
    require(written.ends_with(" - Orvane.dll : fuzz entry\r\n"), "the entry is whole");
  }
  return 0;
}
