// The whole-program cases of tests/data/golden, each run on its scripted
// machine and compared byte for byte.  scripts/windows-test runs the same
// cases against the Windows build under Wine.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/child_process.h"
#include "support/golden_case.h"
#include "support/scripted/scenarios.h"

namespace {

class GoldenCaseTest : public ::testing::TestWithParam<std::string> {
};

TEST_P(GoldenCaseTest, RunsAsWritten)
{
    GoldenCase golden = goldenCase(GetParam());
    ASSERT_TRUE(scripted::loadScenario(golden.scenario))
        << "no scripted machine named \"" << golden.scenario << "\"";
    std::vector<std::string> args = golden.args;
    args.insert(args.begin(), "mirekast");
    ChildResult run = runProgram(args);
    EXPECT_EQ(run.out, golden.out);
    EXPECT_EQ(run.err, golden.err);
    EXPECT_EQ(run.exitCode, golden.exitCode);
}

std::string testName(const ::testing::TestParamInfo<std::string>& info)
{
    std::string name = info.param;
    for (char& c : name) {
        if (!isalnum(static_cast<unsigned char>(c))) {
            c = '_';
        }
    }
    return name;
}

INSTANTIATE_TEST_SUITE_P(Data, GoldenCaseTest, ::testing::ValuesIn(goldenCaseNames()), testName);

// A folder that holds no case would make every run above pass by running
// nothing.
TEST(GoldenCases, AreThere)
{
    EXPECT_GE(goldenCaseNames().size(), 30u);
}

} // namespace
