// Fetching the sampled values into the data tree.
#include "pdh/sampling.h"

#include <gtest/gtest.h>

#include <string>

#include "pdh/pdh_fixture.h"

namespace {

class GatherTest : public ::testing::Test {
protected:
    void SetUp() override { scripted::reset(); }

    // Collects once and fetches every value, as one pass of the sampling loop.
    static void pass(Registration& r)
    {
        PdhCollectQueryData(r.query);
        visitTree(r.dataTree, gatherPerfData, nullptr);
    }

    static uint32_t valueOf(Registration& r, const char* instance, const char* counter)
    {
        Node* object = r.dataTree->head;
        Node* instanceNode = findByName(object->childList->head, instance);
        Node* counterNode = findByName(instanceNode->childList->head, counter);
        return counterNode->data;
    }
};

TEST_F(GatherTest, StoresEachFetchBitForBitAndMinusOneOnFailure)
{
    scripted::addObject("Process", {"Delta", "Good", "Fails", "Twice"}, {"a"})
        .twoSampleCounters = {"Twice"};
    scripted::setValues("\\Process(a)\\Delta", {scripted::value(-5), scripted::value(2147483647)});
    scripted::setValues("\\Process(a)\\Good", {scripted::value(7), scripted::failure(),
                                               scripted::value(9)});
    scripted::setValues("\\Process(a)\\Fails", {scripted::failure(PDH_CSTATUS_NO_INSTANCE)});
    scripted::setValues("\\Process(a)\\Twice", {scripted::value(1), scripted::value(50)});
    Registration r;

    pass(r);
    EXPECT_EQ(valueOf(r, "a", "Delta"), 0xFFFFFFFBu);
    EXPECT_EQ(valueOf(r, "a", "Good"), 7u);
    EXPECT_EQ(valueOf(r, "a", "Fails"), 0xFFFFFFFFu);
    EXPECT_EQ(valueOf(r, "a", "Twice"), 0xFFFFFFFFu) << "needs two collections";

    pass(r);
    EXPECT_EQ(valueOf(r, "a", "Delta"), 2147483647u);
    EXPECT_EQ(valueOf(r, "a", "Good"), 0xFFFFFFFFu) << "a failure after a good fetch";
    EXPECT_EQ(valueOf(r, "a", "Twice"), 50u);

    pass(r);
    EXPECT_EQ(valueOf(r, "a", "Good"), 9u) << "a good fetch replaces the -1";

    // Object and instance nodes are never touched.
    EXPECT_EQ(r.dataTree->head->data, 0u);
    EXPECT_EQ(r.dataTree->head->childList->head->data, 0u);
}

TEST_F(GatherTest, OnlyTheCallsOwnStatusCounts)
{
    scripted::addObject("Memory", {"Available Bytes", "Cache Bytes"});
    scripted::setValues("\\Memory\\Available Bytes", {scripted::value(3)});
    scripted::setValues("\\Memory\\Cache Bytes", {scripted::value(4)});
    scripted::answerCall(scripted::GET_FORMATTED_VALUE, 2, PDH_INVALID_HANDLE);
    Registration r;

    pass(r); // fetches Available Bytes, then Cache Bytes
    EXPECT_EQ(valueOf(r, "UNNAMED", "Available Bytes"), 3u);
    EXPECT_EQ(valueOf(r, "UNNAMED", "Cache Bytes"), 0xFFFFFFFFu);
    EXPECT_EQ(scripted::callCount(scripted::GET_FORMATTED_VALUE), 2);
}

TEST_F(GatherTest, AnInstanceThatIsGoneReadsMinusOne)
{
    scripted::addObject("Process", {"ID Process"}, {"a", "b"});
    scripted::setValues("\\Process(b)\\ID Process", {scripted::value(12)});
    Registration r;

    pass(r);
    EXPECT_EQ(valueOf(r, "b", "ID Process"), 12u);
    scripted::findObject("Process")->instances = {"a"};
    pass(r);
    EXPECT_EQ(valueOf(r, "b", "ID Process"), 0xFFFFFFFFu);
}

} // namespace
