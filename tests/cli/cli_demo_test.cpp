#include <gtest/gtest.h>

#include "tests/cli/cli_fixture.h"

namespace orvane::testing {
namespace {

namespace fs = std::filesystem;

class CliDemoTest : public CliTest {};

TEST_F(CliDemoTest, SignsAndVerifiesForRealAndRemovesWhatItMade) {
  const auto result = orvane({"demo"});
  EXPECT_EQ(result.status, 0) << result.out << result.err;
  EXPECT_EQ(result.err, "");
  for (const char* expected :
       {"Signfile(\"$DEMO/contract.pdf\"", "Verify(\"$DEMO/contract_Signature.txt\"",
        "= \"success\"", "byte for byte the same",
        "= \"The file has not been signed with the certificate used for login.\"",
        "= \"Signature or Certificate is not valid \"", "7 of 7 results as expected.",
        "A real signature was made and verified"}) {
    EXPECT_NE(result.out.find(expected), std::string::npos) << expected << "\n" << result.out;
  }
  EXPECT_TRUE(fs::is_empty(temporary));
  EXPECT_FALSE(fs::exists(home / ".local"));
}

TEST_F(CliDemoTest, SaysSoWhenItCannotMakeItsFolder) {
  const auto result = orvane({"demo"}, {{"TMPDIR", (folder.path() / "missing").string()}});
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.err.rfind("orvane: the demo could not run: ", 0), 0u) << result.err;
  EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
}

}  // namespace
}  // namespace orvane::testing
