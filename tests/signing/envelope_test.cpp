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
  for (const TextView path : {u"C:\\d\\a.pdf", u"/d/readme", u"/d/a.properties", u"/d/file.",
                              u"/a.b/file", u"/d/x.0123456789abcdefghij"}) {
    for (const TextView text :
         {u"", u"abc", u"ends in digits 42", u"line\r\n.12", u"x.pdf4", u"app.revision=1"}) {
      const Text content = Text(text) + envelope_trailer(path);
      const SplitEnvelope split = split_envelope(content);
      EXPECT_EQ(split.text, text) << text_to_utf8(path);
      EXPECT_EQ(split.extension, path.substr(path.size() - extension_length(path)));
    }
  }
}

TEST(EnvelopeReader, AFinalZeroIsNoExtensionEvenAfterAnExtensionLikeText) {
  const SplitEnvelope split = split_envelope(u"app.revision=10");
  EXPECT_EQ(split.text, u"app.revision=1");
  EXPECT_EQ(split.extension, u"");
  // The one length the format cannot tell from a text ending in digits reads as before.
  EXPECT_EQ(split_envelope(u"t.jsonlines10").text, u"t.jsonlines1");
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

int output_failure(TextView file_name, TextView extension,
                   FileNameRules rules = FileNameRules::posix) {
  try {
    output_name(file_name, extension, rules);
  } catch (const Failure& failure) {
    return failure.number();
  }
  return 0;
}

TEST(OutputName, DropsFourCharactersAndAddsNoSecondDot) {
  const auto posix = FileNameRules::posix;
  EXPECT_EQ(output_name(u"C:\\d\\a.xyz", u".pdf", posix), u"C:\\d\\a.pdf");
  EXPECT_EQ(output_name(u"C:\\d\\a_Signature.txt", u".pdf", posix), u"C:\\d\\a_Signature.pdf");
  EXPECT_EQ(output_name(u"/d/readme.txt", u"", posix), u"/d/readme");
  EXPECT_EQ(output_name(u"/d/a.xyz", u"def", posix), u"/d/a.def");
  EXPECT_EQ(output_failure(u"abc", u".pdf"), 5);
}

TEST(OutputName, TheCarriedExtensionNeverLeavesTheFolder) {
  const auto posix = FileNameRules::posix;
  // A separator in the field is a dot met in a folder name: no extension at all.
  EXPECT_EQ(output_name(u"/home/u/mail.p7m", u".ssh/authorized_keys", posix), u"/home/u/mail");
  EXPECT_EQ(output_name(u"/home/u/mail.p7m", u".b\\..\\..\\x", posix), u"/home/u/mail");
  // Dropping four characters would leave the folder's name, or nothing of the file's own.
  EXPECT_EQ(output_failure(u"/home/u/m.p7", u".bashrc"), 5);
  EXPECT_EQ(output_failure(u"/home/u/abc", u".pdf"), 5);
  EXPECT_EQ(output_failure(u"C:\\d\\abcd", u".pdf"), 5);
  EXPECT_EQ(output_failure(u"/d/.abcd", u"."), 5);
  // Control and format characters, and line breaks of Unicode's own: 'report.' U+202E
  // 'fdp.exe' shows as 'report.exe.pdf'. Those beyond the BMP come as surrogate pairs.
  for (const TextView hidden :
       {TextView(u".pd\nf"), TextView(u".p\0f", 4), TextView(u".\u009bpdf"),
        TextView(u".\u202efdp"), TextView(u".pd\u00adf"), TextView(u".\u0605pdf"),
        TextView(u".\u180epdf"), TextView(u".pdf\u2029"), TextView(u".\u2069pdf"),
        TextView(u".\ufeffpdf"), TextView(u".\ufffbpdf"), TextView(u".\U000110bdpdf"),
        TextView(u".p\U0001d17adf"), TextView(u".pdf\U000e0001"), TextView(u".pdf\U000e007f")}) {
    EXPECT_EQ(output_failure(u"/d/a.xyz", hidden), 5) << text_to_utf8(hidden);
  }
  // Visible characters on either side of those ranges, beyond the BMP too, are names.
  EXPECT_EQ(output_name(u"/d/a.xyz", u".\u2030\u2065\U0001F600\U000e0080", posix),
            u"/d/a.\u2030\u2065\U0001F600\U000e0080");
  // What Windows cannot hold: a stream after a colon, a device, a trailing dot.
  const auto windows = FileNameRules::windows;
  EXPECT_EQ(output_name(u"C:\\d\\a.xyz", u".pdf", windows), u"C:\\d\\a.pdf");
  EXPECT_EQ(output_failure(u"C:\\d\\a.xyz", u".pdf:payload", windows), 5);
  EXPECT_EQ(output_failure(u"C:\\d\\com1.xyz", u".pdf", windows), 5);
  EXPECT_EQ(output_failure(u"C:\\d\\nul .xyz", u".txt", windows), 5);
  EXPECT_EQ(output_failure(u"C:\\d\\a.xyz", u".pdf.", windows), 5);
  EXPECT_EQ(output_name(u"/d/com1.xyz", u".pdf", posix), u"/d/com1.pdf");
}

}  // namespace
}  // namespace orvane::signing
