// The pointer-walking readers, the path writer and the directory lister that
// every object's sample relies on.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <vector>

#include "platform/linux/procfs.h"

namespace {

uint64_t unsignedOf(const char* text, const char** rest = nullptr)
{
    const char* p = text;
    uint64_t value = 12345;
    EXPECT_TRUE(readUnsigned(p, value)) << text;
    if (rest != nullptr) {
        *rest = p;
    }
    return value;
}

TEST(LinuxProcfsTest, UnsignedNumbersAreReadExactlyUpToTheLimitAndSaturateBeyond)
{
    EXPECT_EQ(unsignedOf("0"), 0u);
    EXPECT_EQ(unsignedOf("  \t42 kB"), 42u);
    EXPECT_EQ(unsignedOf("18446744073709551614"), UINT64_MAX - 1);
    EXPECT_EQ(unsignedOf("18446744073709551615"), UINT64_MAX);
    EXPECT_EQ(unsignedOf("18446744073709551616"), UINT64_MAX);
    EXPECT_EQ(unsignedOf("18446744073709551620"), UINT64_MAX);
    EXPECT_EQ(unsignedOf("1844674407370955162"), 1844674407370955162u);
    EXPECT_EQ(unsignedOf("99999999999999999999999"), UINT64_MAX);
    const char* rest = nullptr;
    unsignedOf("123456789012345678901234 next", &rest);
    EXPECT_STREQ(rest, " next") << "every digit is consumed, also past the limit";

    const char* p = "-5";
    uint64_t value = 7;
    EXPECT_FALSE(readUnsigned(p, value));
    EXPECT_EQ(value, 7u);
    EXPECT_STREQ(p, "-5") << "left alone when no number starts there";
    int64_t signedValue = 0;
    EXPECT_TRUE(readSigned(p, signedValue));
    EXPECT_EQ(signedValue, -5);
}

TEST(LinuxProcfsTest, KeyedNumbersAreFoundOnlyAtLineStarts)
{
    const char* keys[] = {"VmRSS:", "VmSwap:", "Threads:"};
    uint64_t values[3] = {0, 0, 0};
    bool found[3];
    scanKeyedNumbers("Name:\tVmRSS: 1\nVmRSS:\t  2048 kB\nXVmSwap: 9\nThreads:\t3\n", keys, 3,
                     values, found);
    EXPECT_TRUE(found[0]);
    EXPECT_EQ(values[0], 2048u);
    EXPECT_FALSE(found[1]);
    EXPECT_TRUE(found[2]);
    EXPECT_EQ(values[2], 3u);
    scanKeyedNumbers("VmSwap: 7", keys, 3, values, found);
    EXPECT_FALSE(found[0]);
    EXPECT_TRUE(found[1]) << "the last line needs no line end";
    EXPECT_EQ(values[1], 7u);

    // A key that ends another (the thread's context switches), and a first
    // line of the key without a number.
    const char* switches[] = {"voluntary_ctxt_switches:", "nonvoluntary_ctxt_switches:"};
    scanKeyedNumbers("nonvoluntary_ctxt_switches:\t5\nvoluntary_ctxt_switches: x\n"
                     "voluntary_ctxt_switches:\t12\n",
                     switches, 2, values, found);
    EXPECT_TRUE(found[0] && found[1]);
    EXPECT_EQ(values[0], 12u);
    EXPECT_EQ(values[1], 5u);
}

TEST(LinuxProcfsTest, PathsUnderProc)
{
    EXPECT_STREQ(processPath(1, "").text, "1");
    EXPECT_STREQ(processPath(2147483647, "stat").text, "2147483647/stat");
}

TEST(LinuxProcfsTest, TaskStatKeepsItsFieldsAndStepsOverTheOthers)
{
    // Fields 4 to 23 numbered by their value, but for the real-time priority
    // and nice (18, 19), which are negative; then the rest of a real line.
    std::string line = "42 (a) b (c)) S 4 5 6 7 -8 9 10 11 12 13 14 15 16 17 -2 -20 20 21 22 23 "
                       "24 25 26\n";
    TaskStat stat;
    ASSERT_TRUE(parseTaskStat(line.c_str(), stat));
    EXPECT_EQ(std::string(stat.name, stat.nameLength), "a) b (c)");
    EXPECT_EQ(stat.parentId, 4);
    EXPECT_EQ(stat.minorFaults, 10u);
    EXPECT_EQ(stat.majorFaults, 12u);
    EXPECT_EQ(stat.userTicks, 14u);
    EXPECT_EQ(stat.systemTicks, 15u);
    EXPECT_EQ(stat.threadCount, 20);
    EXPECT_EQ(stat.startTicks, 22u);
    EXPECT_EQ(stat.virtualBytes, 23u);

    // A field that is no number, kept or not, or a line that ends early.
    for (const char* bad : {"1 (a) S 4 x 6 7 8 9 10 11 12 13 14 15 16 17 18 19 20 21 22 23",
                            "1 (a) S 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19 20 - 22 23",
                            "1 (a) S 4 5 6 7 8 9 10 11 12 13 x 15 16 17 18 19 20 21 22 23",
                            "1 (a) S 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19 20 21 22",
                            "1 (a S 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19 20 21 22 23"}) {
        EXPECT_FALSE(parseTaskStat(bad, stat)) << bad;
    }
}

std::vector<std::string> entriesOf(int fd, ReadResult* result)
{
    std::vector<std::string> entries;
    *result = listOpenDirectory(
        fd, [](const char* entry, void* list) {
            static_cast<std::vector<std::string>*>(list)->push_back(entry);
        },
        &entries);
    std::sort(entries.begin(), entries.end());
    return entries;
}

std::string nameFor(const std::string& raw)
{
    return instanceNameFromSystem(raw.data(), raw.size());
}

TEST(LinuxProcfsTest, SystemNamesBecomeValidUtf8ByteForByte)
{
    // Valid characters of two, three and four bytes stay.
    EXPECT_EQ(nameFor("caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80"),
              "caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80");
    // Every byte of what is not a character becomes '?': stray bytes, an
    // overlong form, a surrogate, a code point past U+10FFFF, a sequence cut
    // short by the end of the name (as the kernel's 15 bytes cut one).
    EXPECT_EQ(nameFor("a\xff"), "a?");
    EXPECT_EQ(nameFor("a\xfe"), "a?");
    EXPECT_EQ(nameFor("\xc0\x80x"), "??x");
    EXPECT_EQ(nameFor("\xed\xa0\x80"), "???");
    EXPECT_EQ(nameFor("\xf4\x90\x80\x80"), "????");
    EXPECT_EQ(nameFor("\xe2\x82"), "??");
    EXPECT_EQ(nameFor("x\xc3"), "x?");
    // The bytes after a broken sequence are read afresh: here '(' and a valid
    // character.
    EXPECT_EQ(nameFor("\xe2(\xc3\xa9"), "?[\xc3\xa9");
    // Not past the length given, though a valid continuation follows there.
    EXPECT_EQ(instanceNameFromSystem("\xc3\xa9", 1), "?");
}

TEST(LinuxProcfsTest, EmptyAndReservedSystemNamesAreBracketed)
{
    EXPECT_EQ(nameFor(""), "[empty]");
    EXPECT_EQ(nameFor("_Total"), "[_Total]");
    EXPECT_EQ(nameFor("UNNAMED"), "[UNNAMED]");
    // Only the exact names: case counts, as everywhere names are compared.
    EXPECT_EQ(nameFor("_total"), "_total");
    EXPECT_EQ(nameFor("_Total2"), "_Total2");
    EXPECT_EQ(nameFor("(_Total)"), "[_Total]");
}

TEST(LinuxProcfsTest, AnOpenDirectoryIsListedWholeAndStaysOpen)
{
    char folder[] = "/tmp/mirekast-listing-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    // Names long enough that the listing takes several reads of the kernel's.
    std::vector<std::string> names;
    for (int i = 0; i < 600; ++i) {
        names.push_back(std::to_string(100000 + i) + std::string(60, 'x'));
        std::string path = std::string(folder) + "/" + names.back();
        int file = open(path.c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0600);
        ASSERT_GE(file, 0);
        close(file);
    }
    int fd = open(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    ReadResult result;
    EXPECT_EQ(entriesOf(fd, &result), names);  // without "." and ".."
    EXPECT_EQ(result, READ_OK);

    // Its entries open relative to it; listed again, it has nothing more.
    std::string text;
    EXPECT_EQ(readFileAt(fd, names[599].c_str(), text), READ_OK);
    EXPECT_TRUE(entriesOf(fd, &result).empty());
    EXPECT_EQ(result, READ_OK);
    close(fd);

    // A file is no directory to list.
    int file = openat(AT_FDCWD, (std::string(folder) + "/" + names[0]).c_str(),
                      O_RDONLY | O_CLOEXEC);
    ASSERT_GE(file, 0);
    entriesOf(file, &result);
    EXPECT_EQ(result, READ_DENIED);
    close(file);

    for (const std::string& name : names) {
        unlink((std::string(folder) + "/" + name).c_str());
    }
    rmdir(folder);
}

} // namespace
