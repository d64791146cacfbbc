#include "signing/envelope.h"

#include <gtest/gtest.h>

#include "runtime/failure.h"

namespace orvane::signing {
namespace {

int failure_number(TextView content) {
  try {
    split_envelope(content);
  } catch (const Failure& failure) {
    return failure.number();
  }
  return 0;
}

TEST(EnvelopeWriter, TheExtensionFieldRunsFromTheLastDotOfThePath) {
  EXPECT_EQ(extension_length(u"C:\\d\\a.pdf"), 4u);
  EXPECT_EQ(envelope_trailer(u"C:\\d\\a.pdf"), u".pdf4");
  EXPECT_EQ(base_name(u"C:\\d\\a.pdf"), u"C:\\d\\a");
  EXPECT_EQ(envelope_trailer(u"/d/a.tar.docx"), u".docx5");
  EXPECT_EQ(envelope_trailer(u"/d/readme"), u"0");
  EXPECT_EQ(base_name(u"/d/readme"), u"/d/readme");
  EXPECT_EQ(envelope_trailer(u"C:\\a.b\\file"), u".b\\file7");
  EXPECT_EQ(base_name(u"C:\\a.b\\file"), u"C:\\a");
  EXPECT_EQ(envelope_trailer(u"C:\\d\\file."), u".1");
  EXPECT_EQ(base_name(u"C:\\d\\file."), u"C:\\d\\file");
  EXPECT_EQ(envelope_trailer(u"/d/a.jsonlines"), u".jsonlines10");
}

TEST(EnvelopeReader, SplitsWhatTheWriterBuilds) {
  for (const TextView path : {u"C:\\d\\a.pdf", u"/d/readme", u"/d/a.jsonlines", u"/d/file.",
                              u"/a.b/file", u"/d/x.0123456789abcdefghij"}) {
    for (const TextView text : {u"", u"abc", u"ends in digits 42", u"line\r\n.12", u"x.pdf4"}) {
      const Text content = Text(text) + envelope_trailer(path);
      const SplitEnvelope split = split_envelope(content);
      EXPECT_EQ(split.text, text) << text_to_utf8(path);
      EXPECT_EQ(split.extension, path.substr(path.size() - extension_length(path)));
    }
  }
}

TEST(EnvelopeReader, FallsBackToTheLastDigitWhenNoLengthFits) {
  const SplitEnvelope split = split_envelope(u"abcdef3");
  EXPECT_EQ(split.text, u"abc");
  EXPECT_EQ(split.extension, u"def");
}

TEST(EnvelopeReader, RefusesContentWithoutATrailer) {
  EXPECT_EQ(failure_number(u""), 13);
  EXPECT_EQ(failure_number(u"abc.pdf"), 13);
  EXPECT_EQ(failure_number(u"ab9"), 5);
}

TEST(OutputName, DropsFourCharactersAndAddsNoSecondDot) {
  EXPECT_EQ(output_name(u"C:\\d\\a.xyz", u".pdf"), u"C:\\d\\a.pdf");
  EXPECT_EQ(output_name(u"C:\\d\\a_Signature.txt", u".pdf"), u"C:\\d\\a_Signature.pdf");
  EXPECT_EQ(output_name(u"/d/readme.txt", u""), u"/d/readme");
  EXPECT_EQ(output_name(u"/d/a.xyz", u"def"), u"/d/a.def");
  EXPECT_EQ(output_name(u"abcd", u".pdf"), u".pdf");
  EXPECT_THROW(output_name(u"abc", u".pdf"), Failure);
}

}  // namespace
}  // namespace orvane::signing
