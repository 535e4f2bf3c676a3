// What the Linux layer's tests share: a fixture that points the layer at a
// sample tree with a clock the test moves, queries closed at the end, the
// enumeration calls done as the program does them, and trees copied to a
// temporary folder for tests that change files between collections.
#ifndef MIREKAST_TESTS_PLATFORM_LINUX_LAYER_FIXTURE_H
#define MIREKAST_TESTS_PLATFORM_LINUX_LAYER_FIXTURE_H

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <string>
#include <sys/statvfs.h>
#include <vector>

#include "platform/pdh_api.h"

namespace linuxtest {

// A path under tests/data/linux.
std::string sampleTree(const std::string& relative);

// The names of a MULTI_SZ block of `size` characters; the block must end in
// an empty name exactly at its size (a test failure otherwise).
std::vector<std::string> multiSzNames(const char* block, DWORD size);

struct ItemLists {
    PDH_STATUS status;
    std::vector<std::string> counters;
    std::vector<std::string> instances;
    DWORD instanceSize;  // as the filling call set it
};

// The sizing call, then the filling call with buffers of the sizes it gave,
// again from the sizing call (a few times) while the list grew in between.
ItemLists enumerateItems(const char* object);

// The value of one counter as the program fetches it.
struct Fetched {
    PDH_STATUS status;
    DWORD counterStatus;
    LONG value;
};

// A copy of a sample tree that a test may change; removed at the end.
class TreeCopy {
public:
    explicit TreeCopy(const std::string& source);
    ~TreeCopy();
    TreeCopy(const TreeCopy&) = delete;
    TreeCopy& operator=(const TreeCopy&) = delete;

    const std::string& path() const { return root_; }
    void write(const std::string& relative, const std::string& text) const;
    void remove(const std::string& relative) const;
    void copyFrom(const std::string& source, const std::string& relative) const;

private:
    std::string root_;
};

// Points the layer at a proc tree and a sys tree, with a sample clock that
// stands still until advance() and statvfs answers from `mounts`.
class LayerTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    void useTrees(const std::string& proc, const std::string& sys);
    // One of the hand-written trees ("t0", "t1") with the hand-written /sys.
    void useCrafted(const char* tree);
    void advance(double seconds);

    PDH_HQUERY openQuery();
    // Adds a counter that must be accepted.
    PDH_HCOUNTER add(PDH_HQUERY query, const std::string& path);
    void collect(PDH_HQUERY query);
    Fetched fetch(PDH_HCOUNTER counter);
    // The value of a counter that must have one.
    LONG value(PDH_HCOUNTER counter);
    LONGLONG largeValue(PDH_HCOUNTER counter);

    // One query with one counter, collected once: its value or failure.
    Fetched sampleOnce(const std::string& path);

public:
    // Mount point -> figures, for the LogicalDisk tests.
    static std::map<std::string, struct statvfs> mounts;
    static struct statvfs figures(unsigned long blockSize, uint64_t blocks, uint64_t available);

private:
    std::vector<PDH_HQUERY> queries_;
};

} // namespace linuxtest

#endif
