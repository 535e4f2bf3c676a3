// Registering only what the sets name (-s).
#include "pdh/registration.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "pdh/pdh_fixture.h"

namespace {

typedef std::vector<std::string> Paths;

class RegisterSetsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        scripted::reset();
        scripted::addObject("Thread", {"Context Switches/sec"}, {"sh/0"});
        scripted::addObject("Process", {"ID Process", "Handle Count", "% Processor Time"},
                            {"idle", "sh", "vi", "sh"});
        scripted::addObject("Memory", {"Available Bytes", "Cache Bytes"});
    }

    void TearDown() override
    {
        if (setList != nullptr) {
            destroyTree(setList);
        }
    }

    // Registers `sets`; the trees live as long as the returned registration.
    Registration* registerFor(const std::vector<SetSpec>& sets)
    {
        setList = makeSets(sets);
        registration.reset(new Registration(setList));
        return registration.get();
    }

    NodeList* setList = nullptr;
    std::unique_ptr<Registration> registration;
};

TEST_F(RegisterSetsTest, ExactNamesAndTheStarSelect)
{
    Registration* r = registerFor({
        {"Process", {{"vi", {"Handle Count"}}, {"idle", {"*"}}, {"*", {"ID Process"}}}},
    });

    EXPECT_EQ(scripted::attemptedPaths(), (Paths{
                                              "\\Process(idle#0)\\ID Process",
                                              "\\Process(idle#0)\\Handle Count",
                                              "\\Process(idle#0)\\% Processor Time",
                                              "\\Process(sh#0)\\ID Process",
                                              "\\Process(vi#0)\\Handle Count",
                                              "\\Process(vi#0)\\ID Process",
                                              "\\Process(sh#1)\\ID Process",
                                          }));
    EXPECT_EQ(drawTree(r->dataTree),
              "Process\n"
              "  idle\n"
              "    % Processor Time = \\Process(idle#0)\\% Processor Time\n"
              "    Handle Count = \\Process(idle#0)\\Handle Count\n"
              "    ID Process = \\Process(idle#0)\\ID Process\n"
              "  sh\n"
              "    ID Process = \\Process(sh#1)\\ID Process\n"
              "  sh\n"
              "    ID Process = \\Process(sh#0)\\ID Process\n"
              "  vi\n"
              "    Handle Count = \\Process(vi#0)\\Handle Count\n"
              "    ID Process = \\Process(vi#0)\\ID Process\n");
    EXPECT_EQ(drawTree(r->headerTree),
              "Process\n  % Processor Time\n  Handle Count\n  ID Process\n");
}

TEST_F(RegisterSetsTest, SetsThatSelectNothingLeaveNoTrace)
{
    scripted::refuseCounter("\\Process(vi)\\Handle Count");
    Registration* r = registerFor({
        {"Nothing", {{"*", {"*"}}}},                  // no such object
        {"process", {{"*", {"*"}}}},                  // names are case-sensitive
        {"Process", {{"emacs", {"*"}}}},              // no such instance
        {"Process", {{"v*", {"*"}}}},                 // "*" is no pattern
        {"Process", {{"*", {"Handles", "ID*"}}}},     // no such counter
        {"Process", {{"vi", {"Handle Count"}}}},      // refused
    });

    EXPECT_EQ(scripted::attemptedPaths(), Paths{"\\Process(vi#0)\\Handle Count"});
    EXPECT_EQ(r->dataTree->count, 0u);
    EXPECT_EQ(r->headerTree->count, 0u);
}

TEST_F(RegisterSetsTest, EverySetWithACounterGetsItsOwnObjectPairLaterSetsFirst)
{
    Registration* r = registerFor({
        {"Thread", {{"*", {"*"}}}},
        {"Process", {{"vi", {"ID Process"}}}},
        {"Process", {{"idle", {"Handle Count"}}}},
    });

    EXPECT_EQ(drawTree(r->dataTree),
              "Process\n"
              "  idle\n"
              "    Handle Count = \\Process(idle#0)\\Handle Count\n"
              "Process\n"
              "  vi\n"
              "    ID Process = \\Process(vi#0)\\ID Process\n"
              "Thread\n"
              "  sh/0\n"
              "    Context Switches/sec = \\Thread(sh/0#0)\\Context Switches/sec\n");
    EXPECT_EQ(drawTree(r->headerTree),
              "Process\n  Handle Count\nProcess\n  ID Process\nThread\n  Context Switches/sec\n");
}

TEST_F(RegisterSetsTest, SelectionsOfOneInstanceUniteWithoutAddingACounterTwice)
{
    Registration* r = registerFor({
        {"Process", {{"*", {"% Processor Time", "ID Process"}}, {"vi", {"*"}},
                     {"vi", {"ID Process", "ID Process"}}}},
    });

    Paths vi;
    for (const std::string& path : scripted::attemptedPaths()) {
        if (path.find("(vi#0)") != std::string::npos) {
            vi.push_back(path);
        }
    }
    EXPECT_EQ(vi, (Paths{
                      "\\Process(vi#0)\\ID Process",
                      "\\Process(vi#0)\\% Processor Time",
                      "\\Process(vi#0)\\Handle Count",
                  }));
    std::string tree = drawTree(r->dataTree);
    EXPECT_NE(tree.find("  vi\n"
                        "    % Processor Time = \\Process(vi#0)\\% Processor Time\n"
                        "    Handle Count = \\Process(vi#0)\\Handle Count\n"
                        "    ID Process = \\Process(vi#0)\\ID Process\n"),
              std::string::npos)
        << tree;
    EXPECT_EQ(r->dataTree->count, 1u);
    EXPECT_EQ(drawTree(r->headerTree),
              "Process\n  % Processor Time\n  Handle Count\n  ID Process\n");
}

TEST_F(RegisterSetsTest, ARefusedCounterIsTriedAgainForEachSpecThatSelectsIt)
{
    scripted::refuseCounter("\\Memory\\Cache Bytes");
    Registration* r = registerFor({{"Memory", {{"*", {"Cache Bytes", "*"}}}}});

    EXPECT_EQ(scripted::attemptedPaths(), (Paths{
                                              "\\Memory\\Available Bytes",
                                              "\\Memory\\Cache Bytes",
                                              "\\Memory\\Cache Bytes",
                                          }));
    EXPECT_EQ(drawTree(r->dataTree),
              "Memory\n  UNNAMED\n    Available Bytes = \\Memory\\Available Bytes\n");
}

TEST_F(RegisterSetsTest, EqualInstanceNamesGetIndicesZeroAndOne)
{
    Registration* r = registerFor({{"Process", {{"sh", {"ID Process"}}}}});

    EXPECT_EQ(scripted::attemptedPaths(),
              (Paths{"\\Process(sh#0)\\ID Process", "\\Process(sh#1)\\ID Process"}));
    EXPECT_EQ(drawTree(r->dataTree),
              "Process\n"
              "  sh\n"
              "    ID Process = \\Process(sh#1)\\ID Process\n"
              "  sh\n"
              "    ID Process = \\Process(sh#0)\\ID Process\n");
}

TEST_F(RegisterSetsTest, AnInstanceNamedUnnamedKeepsItsInstancePart)
{
    scripted::addObject("Odd", {"c"}, {"UNNAMED"});
    Registration* r = registerFor({{"Odd", {{"UNNAMED", {"c"}}}}});

    EXPECT_EQ(scripted::attemptedPaths(), Paths{"\\Odd(UNNAMED#0)\\c"});
    EXPECT_EQ(drawTree(r->dataTree), "Odd\n  UNNAMED\n    c = \\Odd(UNNAMED#0)\\c\n");
}

TEST_F(RegisterSetsTest, ABackslashInASpecStandsForTheCharacterAfterIt)
{
    scripted::addObject("Odd {Queues}", {"{Rejected}", "*", "a\\b", "plain"},
                        {"-x", "a{b}", "}", "\\", "a\\", "ab"});
    Registration* r = registerFor({
        // As the parser stores them: the backslashes typed are kept.
        {"Odd \\{Queues\\}",
         {{"\\-x", {"\\{Rejected\\}"}},
          {"a\\{b\\}", {"\\*"}},
          {"\\}", {"a\\\\b"}},
          {"\\\\", {"\\plain"}},
          // A backslash at the end stands for itself; one before an
          // ordinary letter is dropped.
          {"a\\", {"plain"}},
          {"a\\b", {"plain"}}}},
    });

    EXPECT_EQ(scripted::attemptedPaths(), (Paths{
                                              "\\Odd {Queues}(-x#0)\\{Rejected}",
                                              "\\Odd {Queues}(a{b}#0)\\*",
                                              "\\Odd {Queues}(}#0)\\a\\b",
                                              "\\Odd {Queues}(\\#0)\\plain",
                                              "\\Odd {Queues}(a\\#0)\\plain",
                                              "\\Odd {Queues}(ab#0)\\plain",
                                          }));
    EXPECT_EQ(drawTree(r->headerTree), "Odd {Queues}\n  *\n  a\\b\n  plain\n  {Rejected}\n");
}

TEST_F(RegisterSetsTest, OnlyTheStarAsTypedSelectsAll)
{
    scripted::addObject("Odd", {"*", "c"}, {"*", "i"});
    registerFor({{"Odd", {{"\\*", {"\\*"}}}}});

    EXPECT_EQ(scripted::attemptedPaths(), Paths{"\\Odd(*#0)\\*"});
}

TEST_F(RegisterSetsTest, AnObjectWithoutInstancesIsSelectedByTheStarAlone)
{
    scripted::findObject("Memory")->noInstancesSize = 2;
    Registration* r = registerFor({
        {"Memory", {{"UNNAMED", {"*"}}, {"", {"*"}}}},
        {"Memory", {{"*", {"Cache Bytes"}}}},
    });

    EXPECT_EQ(scripted::attemptedPaths(), Paths{"\\Memory\\Cache Bytes"});
    EXPECT_EQ(drawTree(r->dataTree),
              "Memory\n  UNNAMED\n    Cache Bytes = \\Memory\\Cache Bytes\n");
    EXPECT_EQ(drawTree(r->headerTree), "Memory\n  Cache Bytes\n");
}

TEST_F(RegisterSetsTest, APathThatWouldNotFitTheBufferIsSkipped)
{
    std::string tooLong(600, 'x');
    scripted::addObject("Long", {tooLong, "short"}, {"i"});
    Registration* r = registerFor({{"Long", {{"*", {"*"}}}}});

    EXPECT_EQ(scripted::attemptedPaths(), Paths{"\\Long(i#0)\\short"});
    EXPECT_EQ(drawTree(r->headerTree), "Long\n  short\n");
}

TEST_F(RegisterSetsTest, AnObjectListedTwiceFillsOneObjectPairPerSet)
{
    scripted::addObject("Memory", {"Available Bytes"});
    Registration* r = registerFor({{"Memory", {{"*", {"Available Bytes"}}}}});

    EXPECT_EQ(scripted::callCount(scripted::ENUM_OBJECT_ITEMS), 4);
    // The scripted layer serves the first Memory twice.
    EXPECT_EQ(drawTree(r->dataTree),
              "Memory\n"
              "  UNNAMED\n"
              "    Available Bytes = \\Memory\\Available Bytes\n"
              "  UNNAMED\n"
              "    Available Bytes = \\Memory\\Available Bytes\n");
}

} // namespace
