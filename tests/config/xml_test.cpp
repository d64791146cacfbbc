#include "config/xml.h"

#include <gtest/gtest.h>

#include "tests/support/faulty_file_system.h"
#include "tests/support/temp_folder.h"

namespace orvane::config {
namespace {

class XmlReader : public ::testing::Test {
 protected:
  Text file(const std::string& name, const std::string& content) {
    testing::write_file(folder.path() / name, content);
    return folder.text(name);
  }

  testing::TempFolder folder;
  XML xml{native_file_system(), windows_1252()};
};

TEST_F(XmlReader, LoadingAMissingFileGivesFalseAndEmptiesEarlierText) {
  ASSERT_TRUE(xml.LoadXml(file("a.ini", "earlier"), vb_true));
  EXPECT_FALSE(xml.LoadXml(folder.text("missing.ini"), vb_true));
  EXPECT_EQ(xml.sXmlData, u"");
}

TEST_F(XmlReader, AFileLargerThanMemoryIsAFailedLoadNotAnException) {
  const Text path = file("a.ini", "<SerialNumber>01</SerialNumber>");
  auto files = std::make_shared<testing::FaultyFileSystem>(native_file_system());
  XML reader(files, windows_1252());
  reader.sXmlData = u"earlier";
  files->report_huge_sizes();
  EXPECT_FALSE(reader.LoadXml(path, vb_true));
  EXPECT_EQ(reader.sXmlData, u"");
}

TEST_F(XmlReader, WithoutIniOnlyAMessageInfoEndTagIsAccepted) {
  EXPECT_FALSE(xml.LoadXml(file("a.xml", "<MessageInfo>x</messageinfo>")));
  EXPECT_EQ(xml.sXmlData, u"<MessageInfo>x</messageinfo>");
  EXPECT_TRUE(xml.LoadXml(file("b.xml", "a</MessageInfo>b")));
  EXPECT_TRUE(xml.LoadXml(file("c.ini", "no tags at all"), vb_true));
  EXPECT_EQ(xml.sXmlData, u"no tags at all");
}

TEST_F(XmlReader, LoadsThroughTheCodePage) {
  EXPECT_TRUE(xml.LoadXml(file("d.ini", "caf\xE9 \x80"), vb_true));
  EXPECT_EQ(xml.sXmlData, u"caf\u00e9 \u20ac");
  xml.CloseXml();
  EXPECT_EQ(xml.sXmlData, u"");
}

TEST_F(XmlReader, ReadsTheTextBetweenTheFirstStartAndTheFirstEndTag) {
  const Text start = u"<SerialNumber>";
  const Text end = u"</SerialNumber>";
  EXPECT_EQ(xml.ReadNodeData(u"<SerialNumber>01AB</SerialNumber>", start, end), u"01AB");
  EXPECT_EQ(xml.ReadNodeData(u"x<SerialNumber> 01\r\nAB </SerialNumber>", start, end),
            u" 01\r\nAB ");
  EXPECT_EQ(xml.ReadNodeData(u"<SerialNumber></SerialNumber>", start, end), u"");
  EXPECT_EQ(
      xml.ReadNodeData(u"<SerialNumber>A</SerialNumber><SerialNumber>B</SerialNumber>", start, end),
      u"A");
}

TEST_F(XmlReader, AnswersNothingWhenTheTagsDoNotStandInOrder) {
  const Text start = u"<SerialNumber>";
  const Text end = u"</SerialNumber>";
  EXPECT_EQ(xml.ReadNodeData(u"", start, end), u"");
  EXPECT_EQ(xml.ReadNodeData(u"<serialnumber>A</serialnumber>", start, end), u"");
  EXPECT_EQ(xml.ReadNodeData(u"<SerialNumber>A", start, end), u"");
  EXPECT_EQ(xml.ReadNodeData(u"</SerialNumber><SerialNumber>A</SerialNumber>", start, end), u"");
  EXPECT_EQ(xml.ReadNodeData(u"<SerialNumber</SerialNumber>", start, end), u"");
}

TEST_F(XmlReader, AnEmptyStartTagMatchesTheFirstCharacter) {
  EXPECT_EQ(xml.ReadNodeData(u"abc</E>def", u"", u"</E>"), u"abc");
  EXPECT_EQ(xml.ReadNodeData(u"abc", u"", u""), u"");
}

}  // namespace
}  // namespace orvane::config
