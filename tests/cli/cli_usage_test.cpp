#include <gtest/gtest.h>

#include "tests/cli/cli_fixture.h"

namespace orvane::testing {
namespace {

using Arguments = std::vector<std::string>;

class CliUsageTest : public CliTest {};

TEST_F(CliUsageTest, WrongCommandLinesExitTwoWithTheUsageOnStandardError) {
  const std::vector<std::pair<Arguments, std::string>> cases{
      {{}, "Usage: orvane [OPTIONS] SUBCOMMAND"},
      {{"bogus"}, "bogus is not a command"},
      {{"sign"}, "give exactly one of FILE and --text TEXT"},
      {{"sign", "a.pdf", "--text", "t"}, "Usage: orvane sign"},
      {{"sign", "--text", "t", "--suffix", ".p7s"}, "Usage: orvane sign"},
      {{"sign", "a.pdf", "b.pdf"}, "Usage: orvane sign"},
      {{"sign", "a.pdf", "--serial"}, "Usage: orvane sign"},
      {{"verify", "a.pdf"}, "Usage: orvane verify"},
      {{"verify-code", "a.pdf"}, "give exactly one of --signature-file F"},
      {{"verify-code", "a.pdf", "--attached", "--signature", "x"}, "give exactly one of"},
      {{"sp-sign"}, "Usage: orvane sp-sign"},
      {{"serial", "extra"}, "Usage: orvane serial"},
      {{"log"}, "Usage: orvane log"},
      {{"store"}, "Usage: orvane store"},
      {{"store", "lst"}, "lst is not a command"},
      {{"store", "import"}, "Usage: orvane store import"},
      {{"store", "trust"}, "Usage: orvane store trust"},
      {{"demo", "--fast"}, "Usage: orvane demo"},
  };
  for (const auto& [arguments, expected] : cases) {
    const auto result = orvane(arguments);
    const std::string shown = arguments.empty() ? "(none)" : arguments[0];
    EXPECT_EQ(result.status, 2) << shown;
    EXPECT_EQ(result.out, "") << shown;
    EXPECT_NE(result.err.find(expected), std::string::npos) << shown << ": " << result.err;
    EXPECT_NE(result.err.find("--help` for the options and examples"), std::string::npos) << shown;
  }
}

TEST_F(CliUsageTest, HelpDescribesEachCommandWithAnExample) {
  const std::vector<Arguments> commands{
      {},      {"sign"},  {"verify"}, {"verify-code"},   {"sp-sign"},         {"serial"},
      {"log"}, {"store"}, {"demo"},   {"store", "list"}, {"store", "import"}, {"store", "trust"}};
  for (const auto& command : commands) {
    Arguments arguments = command;
    arguments.push_back("--help");
    const auto result = orvane(arguments);
    std::string name = "orvane";
    for (const auto& word : command) name += " " + word;
    EXPECT_EQ(result.status, 0) << name;
    EXPECT_EQ(result.err, "") << name;
    EXPECT_NE(result.out.find("Usage: " + name + " "), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("Examples:\n  " + name), std::string::npos) << result.out;
  }
}

TEST_F(CliUsageTest, GlobalOptionsStandBeforeOrAfterTheCommand) {
  write("system/KPXServiceControl.INI", "<SerialNumber>4A6B8C9D0E1F</SerialNumber>");
  write("elsewhere/KPXServiceControl.INI", "<SerialNumber>77</SerialNumber>");
  // Trailing separators are the packager's habit, not part of the folder.
  const std::string system_dir = system.string() + "//";
  EXPECT_EQ(orvane({"--system-dir", system_dir, "serial"}).out, "4A6B8C9D0E1F\n");
  EXPECT_EQ(orvane({"serial", "--system-dir", system_dir}).out, "4A6B8C9D0E1F\n");
  EXPECT_EQ(orvane({"serial", "--system-dir", "elsewhere"}).out, "77\n");

  const auto p12 = make_pkcs12(pki.ec_user, "ec-user", "");
  ASSERT_EQ(orvane({"store", "import", p12.string(), "--store", store.string()}).status, 0);
  const auto before = orvane({"--store", store.string(), "store", "list"});
  const auto after = orvane({"store", "list", "--store", store.string()});
  EXPECT_EQ(before.status, 0);
  EXPECT_NE(before.out.find(text_to_utf8(pki.ec_user.serial)), std::string::npos);
  EXPECT_EQ(before.out, after.out);
}

}  // namespace
}  // namespace orvane::testing
