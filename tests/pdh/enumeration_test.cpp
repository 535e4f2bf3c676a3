// Enumerating objects and items, and the name listing.
#include "pdh/enumeration.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "cli/run_settings.h"
#include "driver/memory.h"
#include "support/child_process.h"
#include "support/scripted/scripted_layer.h"

namespace {

const char OBJECTS_FAILED[] = "Failed to Enumerate Objects\n";
const char ITEMS_FAILED[] = "Failed to Enumerate Object Items\n";

// Lists the names as -L (or -LO with FLAG_OBJECTS_ONLY) does, in a child.
ChildResult listing(uint32_t extraFlags = 0)
{
    return runInChild([extraFlags] {
        runSettings.flags = FLAG_NAMES_ONLY | FLAG_ALL_OBJECTS | extraFlags;
        char* objectNames = nullptr;
        getObjectListing(&objectNames);
        printNameListing(objectNames);
        releaseMemory(objectNames);
        return 0;
    });
}

std::vector<std::string> names(const char* block)
{
    std::vector<std::string> result;
    for (const char* name = firstName(block); name != nullptr; name = nextName(name)) {
        result.push_back(name);
    }
    return result;
}

class EnumerationTest : public ::testing::Test {
protected:
    void SetUp() override { scripted::reset(); }
};

TEST_F(EnumerationTest, ListingShowsEveryObjectWithItsInstancesAndCountersInPdhOrder)
{
    scripted::addObject("Process", {"ID Process", "% Processor Time"}, {"sh", "idle", "sh"});
    scripted::addObject("Memory", {"Available Bytes"}).noInstancesSize = 0;
    scripted::addObject("Cache", {"Copy Reads/sec"}).noInstancesSize = 1;
    scripted::addObject("System", {"Threads"}).noInstancesSize = 2;
    scripted::addObject("Quiet", {}).noCountersSize = 0;
    scripted::addObject("Hushed", {}, {"x"}).noCountersSize = 2;

    ChildResult result = listing();

    EXPECT_EQ(result.out,
              "System Performance Objects:\n"
              "\tProcess\n"
              "\t    Performance Object Instances:\n"
              "\t\tsh\n"
              "\t\tidle\n"
              "\t\tsh\n"
              "\t    Performance Object Counters:\n"
              "\t\tID Process\n"
              "\t\t% Processor Time\n"
              "\tMemory\n"
              "\t    Performance Object Instances:\n"
              "\t\tUNNAMED\n"
              "\t    Performance Object Counters:\n"
              "\t\tAvailable Bytes\n"
              "\tCache\n"
              "\t    Performance Object Instances:\n"
              "\t\tUNNAMED\n"
              "\t    Performance Object Counters:\n"
              "\t\tCopy Reads/sec\n"
              "\tSystem\n"
              "\t    Performance Object Instances:\n"
              "\t\tUNNAMED\n"
              "\t    Performance Object Counters:\n"
              "\t\tThreads\n"
              "\tQuiet\n"
              "\t    Performance Object Instances:\n"
              "\t\tUNNAMED\n"
              "\t    Performance Object Counters:\n"
              "\tHushed\n"
              "\t    Performance Object Instances:\n"
              "\t\tx\n"
              "\t    Performance Object Counters:\n");
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.exitCode, 0);
}

TEST_F(EnumerationTest, ObjectsOnlyListingNeverEnumeratesItems)
{
    scripted::addObject("Process", {"ID Process"}, {"sh"});
    scripted::addObject("Memory", {"Available Bytes"});
    // Were the items enumerated, this would end the listing with exit code 2.
    scripted::answerCall(scripted::ENUM_OBJECT_ITEMS, 1, PDH_CSTATUS_NO_OBJECT);

    ChildResult result = listing(FLAG_OBJECTS_ONLY);

    EXPECT_EQ(result.out, "System Performance Objects:\n\tProcess\n\tMemory\n");
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.exitCode, 0);
}

TEST_F(EnumerationTest, EmptyObjectListPrintsTheHeadingAlone)
{
    for (DWORD size : {0u, 1u, 2u}) {
        scripted::reset();
        scripted::setNoObjectsSize(size);
        ChildResult result = listing();
        EXPECT_EQ(result.out, "System Performance Objects:\n") << "size " << size;
        EXPECT_EQ(result.exitCode, 0) << "size " << size;
    }
}

TEST_F(EnumerationTest, BothSizingAnswersAreAcceptedAndTheCallsAreThoseOfTheLocalLiveData)
{
    for (PDH_STATUS answer : {static_cast<PDH_STATUS>(PDH_MORE_DATA), 0}) {
        scripted::reset();
        scripted::setSizingAnswer(answer);
        scripted::addObject("Process", {"ID Process"}, {"sh"});
        scripted::addObject("Memory", {"Available Bytes"});

        char* objects = nullptr;
        getObjectListing(&objects);
        EXPECT_EQ(names(objects), (std::vector<std::string>{"Process", "Memory"}));

        char* counters = nullptr;
        char* instances = nullptr;
        DWORD counterSize = 0;
        DWORD instanceSize = 0;
        getObjectItemListing("Memory", &counters, &instances, &counterSize, &instanceSize);
        EXPECT_EQ(names(counters), std::vector<std::string>{"Available Bytes"});
        EXPECT_EQ(counterSize, 17u);
        EXPECT_EQ(instanceSize, 0u);
        EXPECT_EQ(instances, nullptr);

        std::vector<scripted::EnumCall> calls = scripted::enumCalls();
        ASSERT_EQ(calls.size(), 4u);
        for (const scripted::EnumCall& call : calls) {
            EXPECT_TRUE(call.localLiveData);
            EXPECT_EQ(call.detailLevel, static_cast<DWORD>(PERF_DETAIL_WIZARD));
        }
        // Sizing: no buffers, sizes 0.  Filling: buffers of exactly the sizes.
        EXPECT_FALSE(calls[0].counterBuffer);
        EXPECT_EQ(calls[0].counterSize, 0u);
        EXPECT_EQ(calls[0].flagsOrRefresh, 1u);
        EXPECT_TRUE(calls[1].counterBuffer);
        EXPECT_EQ(calls[1].counterSize, 16u); // "Process\0Memory\0\0"
        EXPECT_EQ(calls[1].flagsOrRefresh, 1u);
        EXPECT_EQ(calls[2].object, "Memory");
        EXPECT_FALSE(calls[2].counterBuffer);
        EXPECT_FALSE(calls[2].instanceBuffer);
        EXPECT_EQ(calls[2].counterSize + calls[2].instanceSize, 0u);
        EXPECT_EQ(calls[2].flagsOrRefresh, 0u);
        EXPECT_TRUE(calls[3].counterBuffer);
        EXPECT_EQ(calls[3].counterSize, 17u);
        EXPECT_FALSE(calls[3].instanceBuffer); // no instance list: no buffer, size 0
        EXPECT_EQ(calls[3].instanceSize, 0u);
        EXPECT_EQ(calls[3].answer, 0);

        releaseMemory(objects);
        releaseMemory(counters);
    }
}

// A process starts between the sizing and the filling call of the items, and
// an object appears the same way: both are sized and filled again.
void expectListsSizedAgain(PDH_STATUS tooSmall)
{
    scripted::addObject("Process", {"ID Process"}, {"sh"});
    scripted::beforeCall(scripted::ENUM_OBJECT_ITEMS, 2,
                         [] { scripted::findObject("Process")->instances.push_back("vi"); });
    scripted::beforeCall(scripted::ENUM_OBJECTS, 2, [] { scripted::addObject("Object", {"c"}); });

    char* objects = nullptr;
    getObjectListing(&objects);
    EXPECT_EQ(names(objects), (std::vector<std::string>{"Process", "Object"}));
    EXPECT_EQ(scripted::callCount(scripted::ENUM_OBJECTS), 4);

    char* counters = nullptr;
    char* instances = nullptr;
    DWORD counterSize = 0;
    DWORD instanceSize = 0;
    getObjectItemListing("Process", &counters, &instances, &counterSize, &instanceSize);
    EXPECT_EQ(names(instances), (std::vector<std::string>{"sh", "vi"}));
    EXPECT_EQ(instanceSize, 7u);
    EXPECT_EQ(scripted::callCount(scripted::ENUM_OBJECT_ITEMS), 4);
    std::vector<scripted::EnumCall> calls = scripted::enumCalls();
    ASSERT_EQ(calls.size(), 8u);
    EXPECT_EQ(calls[1].answer, tooSmall);
    EXPECT_EQ(calls[5].answer, tooSmall);
    EXPECT_EQ(calls[6].instanceSize, 0u) << "the second sizing call starts from 0 again";

    releaseMemory(objects);
    releaseMemory(counters);
    releaseMemory(instances);
}

TEST_F(EnumerationTest, ListsThatGrowBetweenSizingAndFillingAreSizedAgain)
{
    // Some releases answer a filling call whose buffer is too small with
    // PDH_INVALID_ARGUMENT rather than PDH_MORE_DATA: the same growth.
    for (DWORD tooSmall : {PDH_MORE_DATA, PDH_INVALID_ARGUMENT}) {
        SCOPED_TRACE(tooSmall);
        scripted::reset();
        scripted::setTooSmallAnswer(static_cast<PDH_STATUS>(tooSmall));
        expectListsSizedAgain(static_cast<PDH_STATUS>(tooSmall));
    }
}

struct FatalCase {
    const char* what;
    scripted::Function function;
    std::vector<int> calls; // the calls that answer `status`
    DWORD status;
    const char* message;
};

TEST_F(EnumerationTest, EveryEnumerationFailureEndsWithItsMessageAndExitCode2)
{
    const FatalCase cases[] = {
        {"objects: sizing answers another status", scripted::ENUM_OBJECTS, {1},
         PDH_CSTATUS_NO_MACHINE, OBJECTS_FAILED},
        {"objects: sizing answers PDH_INVALID_ARGUMENT", scripted::ENUM_OBJECTS, {1},
         PDH_INVALID_ARGUMENT, OBJECTS_FAILED},
        {"objects: filling fails", scripted::ENUM_OBJECTS, {2}, PDH_CSTATUS_NO_MACHINE,
         OBJECTS_FAILED},
        {"objects: too small four times, as some releases say it", scripted::ENUM_OBJECTS,
         {2, 4, 6, 8}, PDH_INVALID_ARGUMENT, OBJECTS_FAILED},
        {"objects: the list grows four times", scripted::ENUM_OBJECTS, {2, 4, 6, 8},
         PDH_MORE_DATA, OBJECTS_FAILED},
        {"items: sizing answers another status", scripted::ENUM_OBJECT_ITEMS, {1},
         PDH_CSTATUS_NO_OBJECT, ITEMS_FAILED},
        {"items: sizing answers PDH_INVALID_ARGUMENT", scripted::ENUM_OBJECT_ITEMS, {1},
         PDH_INVALID_ARGUMENT, ITEMS_FAILED},
        {"items: filling fails", scripted::ENUM_OBJECT_ITEMS, {2}, PDH_INSUFFICIENT_BUFFER,
         ITEMS_FAILED},
        {"items: too small four times, as some releases say it", scripted::ENUM_OBJECT_ITEMS,
         {2, 4, 6, 8}, PDH_INVALID_ARGUMENT, ITEMS_FAILED},
        {"items: the list grows four times", scripted::ENUM_OBJECT_ITEMS, {2, 4, 6, 8},
         PDH_MORE_DATA, ITEMS_FAILED},
    };
    for (const FatalCase& c : cases) {
        scripted::reset();
        scripted::addObject("Process", {"ID Process"}, {"sh"});
        for (int call : c.calls) {
            scripted::answerCall(c.function, call, c.status);
        }
        ChildResult result = listing();
        EXPECT_EQ(result.err, c.message) << c.what;
        EXPECT_EQ(result.exitCode, 2) << c.what;
        bool itemsFailed = c.function == scripted::ENUM_OBJECT_ITEMS;
        // Lines already printed stay printed.
        EXPECT_EQ(result.out, itemsFailed ? "System Performance Objects:\n\tProcess\n" : "")
            << c.what;
    }
}

TEST_F(EnumerationTest, ThreeRetriesStillSucceed)
{
    scripted::addObject("Process", {"ID Process"}, {"sh"});
    for (int call : {2, 4, 6}) {
        scripted::answerCall(scripted::ENUM_OBJECT_ITEMS, call, PDH_MORE_DATA);
    }
    ChildResult result = listing();
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.err, "");

    // Both ways of saying "too small" count against the same bound.
    scripted::reset();
    scripted::addObject("Process", {"ID Process"}, {"sh"});
    scripted::answerCall(scripted::ENUM_OBJECTS, 2, PDH_INVALID_ARGUMENT);
    scripted::answerCall(scripted::ENUM_OBJECTS, 4, PDH_MORE_DATA);
    scripted::answerCall(scripted::ENUM_OBJECTS, 6, PDH_INVALID_ARGUMENT);
    result = listing(FLAG_OBJECTS_ONLY);
    EXPECT_EQ(result.out, "System Performance Objects:\n\tProcess\n");
    EXPECT_EQ(result.exitCode, 0);
    scripted::answerCall(scripted::ENUM_OBJECTS, 8, PDH_MORE_DATA);
    result = listing(FLAG_OBJECTS_ONLY);
    EXPECT_EQ(result.err, OBJECTS_FAILED);
    EXPECT_EQ(result.exitCode, 2);
}

TEST_F(EnumerationTest, ListsThatGrowBeforeEveryFillingCallFitOnceARetryLeavesRoom)
{
    // Processes and threads starting all the time: every filling call finds
    // the list a name longer than its sizing call did.
    scripted::addObject("Thread", {"ID Thread"}, {"sh/0"});
    for (int call = 2; call <= 8; call += 2) {
        scripted::beforeCall(scripted::ENUM_OBJECT_ITEMS, call, [call] {
            scripted::findObject("Thread")->instances.push_back("t" + std::to_string(call) + "/0");
        });
        scripted::beforeCall(scripted::ENUM_OBJECTS, call, [call] {
            scripted::addObject("Object" + std::to_string(call), {"c"});
        });
    }

    char* objects = nullptr;
    getObjectListing(&objects);
    EXPECT_EQ(names(objects), (std::vector<std::string>{"Thread", "Object2", "Object4"}));
    EXPECT_EQ(scripted::callCount(scripted::ENUM_OBJECTS), 4);

    char* counters = nullptr;
    char* instances = nullptr;
    DWORD counterSize = 0;
    DWORD instanceSize = 0;
    getObjectItemListing("Thread", &counters, &instances, &counterSize, &instanceSize);
    EXPECT_EQ(names(instances), (std::vector<std::string>{"sh/0", "t2/0", "t4/0"}));
    EXPECT_EQ(instanceSize, 16u) << "the size written, not the room offered";
    EXPECT_EQ(scripted::callCount(scripted::ENUM_OBJECT_ITEMS), 4);
    std::vector<scripted::EnumCall> calls = scripted::enumCalls();
    ASSERT_EQ(calls.size(), 8u);
    EXPECT_EQ(calls[5].instanceSize, 6u) << "the first filling call: exactly the size";
    EXPECT_GT(calls[7].instanceSize, 11u) << "the retry offers more than the size";

    releaseMemory(objects);
    releaseMemory(counters);
    releaseMemory(instances);
}

TEST_F(EnumerationTest, ItemsOfAnObjectThatIsGoneEndTheListing)
{
    scripted::addObject("Process", {"ID Process"}, {"sh"});
    scripted::addObject("Job", {"Jobs"});
    scripted::beforeCall(scripted::ENUM_OBJECT_ITEMS, 3,
                         [] { scripted::findObject("Job")->name = "Gone"; });
    ChildResult result = listing();
    EXPECT_EQ(result.err, ITEMS_FAILED);
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_NE(result.out.find("\tJob\n"), std::string::npos);
}

TEST_F(EnumerationTest, AFailedListAllocationEndsWithTheMemoryMessage)
{
    scripted::addObject("Process", {"ID Process"}, {"sh"});
    ChildResult result = runInChild([] {
        char* objects = nullptr;
        failAllocationNumber(allocationCount() + 1);
        getObjectListing(&objects);
        return 0;
    });
    EXPECT_EQ(result.err, "Failed to allocate memory.\n");
    EXPECT_EQ(result.exitCode, 1);
}

} // namespace
