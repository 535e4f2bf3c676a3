#include "layer_fixture.h"

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/linux/procfs.h"

namespace fs = std::filesystem;

namespace linuxtest {

namespace {

int64_t clockNow = 0;

int64_t testClock()
{
    return clockNow;
}

int fakeStatvfs(const char* path, struct statvfs* result)
{
    auto found = LayerTest::mounts.find(path);
    if (found == LayerTest::mounts.end()) {
        errno = ENOENT;
        return -1;
    }
    *result = found->second;
    return 0;
}

} // namespace

std::map<std::string, struct statvfs> LayerTest::mounts;

std::string sampleTree(const std::string& relative)
{
    return std::string(MIREKAST_TEST_DATA_DIR) + "/linux/" + relative;
}

std::vector<std::string> multiSzNames(const char* block, DWORD size)
{
    std::vector<std::string> names;
    if (size < 2) {
        ADD_FAILURE() << "a list needs at least its two terminators, size " << size;
        return names;
    }
    EXPECT_EQ(block[size - 1], '\0');
    EXPECT_EQ(block[size - 2], '\0');
    size_t at = 0;
    // An empty list is the empty name and the final terminator.
    if (size == 2) {
        return names;
    }
    while (at < size && block[at] != '\0') {
        std::string name(block + at);
        at += name.size() + 1;
        names.push_back(name);
    }
    EXPECT_EQ(at + 1, size) << "the list must end with one more NUL exactly at its size";
    return names;
}

ItemLists enumerateItems(const char* object)
{
    ItemLists lists = {0, {}, {}, 0};
    for (int attempt = 0; attempt < 5; ++attempt) {
        DWORD counterSize = 0;
        DWORD instanceSize = 0;
        PDH_STATUS status = PdhEnumObjectItemsA(nullptr, nullptr, object, nullptr, &counterSize,
                                                nullptr, &instanceSize, PERF_DETAIL_WIZARD, 0);
        if (status != static_cast<PDH_STATUS>(PDH_MORE_DATA)) {
            lists.status = status;
            return lists;
        }
        std::vector<char> counters(counterSize + 1, 'x');
        std::vector<char> instances(instanceSize + 1, 'x');
        status = PdhEnumObjectItemsA(nullptr, nullptr, object, counters.data(), &counterSize,
                                     instanceSize ? instances.data() : nullptr, &instanceSize,
                                     PERF_DETAIL_WIZARD, 0);
        if (status == static_cast<PDH_STATUS>(PDH_MORE_DATA)) {
            continue;  // the list grew meanwhile
        }
        lists.status = status;
        if (status == ERROR_SUCCESS) {
            lists.counters = multiSzNames(counters.data(), counterSize);
            if (instanceSize) {
                lists.instances = multiSzNames(instances.data(), instanceSize);
            }
            lists.instanceSize = instanceSize;
        }
        return lists;
    }
    lists.status = static_cast<PDH_STATUS>(PDH_MORE_DATA);
    return lists;
}

TreeCopy::TreeCopy(const std::string& source)
{
    std::string pattern = (fs::temp_directory_path() / "mirekast-tree-XXXXXX").string();
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    if (!mkdtemp(name.data())) {
        ADD_FAILURE() << "cannot make a temporary folder";
        return;
    }
    root_ = name.data();
    fs::copy(source, root_, fs::copy_options::recursive);
}

TreeCopy::~TreeCopy()
{
    if (!root_.empty()) {
        std::error_code ignored;
        fs::remove_all(root_, ignored);
    }
}

void TreeCopy::write(const std::string& relative, const std::string& text) const
{
    fs::path file = fs::path(root_) / relative;
    fs::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << text;
    EXPECT_TRUE(out.good()) << file;
}

void TreeCopy::remove(const std::string& relative) const
{
    EXPECT_GT(fs::remove_all(fs::path(root_) / relative), 0u) << relative;
}

void TreeCopy::copyFrom(const std::string& source, const std::string& relative) const
{
    fs::path target = fs::path(root_) / relative;
    fs::remove_all(target);
    fs::create_directories(target.parent_path());
    fs::copy(source, target, fs::copy_options::recursive);
}

void LayerTest::SetUp()
{
    clockNow = 1000000000000;  // any start: only differences count
    setSampleClock(testClock);
    mounts.clear();
    setStatvfsFunction(fakeStatvfs);
    useCrafted("t0");
}

void LayerTest::TearDown()
{
    for (PDH_HQUERY query : queries_) {
        EXPECT_EQ(PdhCloseQuery(query), ERROR_SUCCESS);
    }
    queries_.clear();
    setProcRoot("/proc");
    setSysRoot("/sys");
    setSampleClock(nullptr);
    setStatvfsFunction(nullptr);
}

void LayerTest::useTrees(const std::string& proc, const std::string& sys)
{
    setProcRoot(proc.c_str());
    setSysRoot(sys.c_str());
}

void LayerTest::useCrafted(const char* tree)
{
    useTrees(sampleTree(std::string("crafted/") + tree + "/proc"), sampleTree("crafted/sys"));
}

void LayerTest::advance(double seconds)
{
    clockNow += static_cast<int64_t>(seconds * 1e9);
}

PDH_HQUERY LayerTest::openQuery()
{
    PDH_HQUERY query = nullptr;
    EXPECT_EQ(PdhOpenQueryA(nullptr, 0, &query), ERROR_SUCCESS);
    if (query) {
        queries_.push_back(query);
    }
    return query;
}

PDH_HCOUNTER LayerTest::add(PDH_HQUERY query, const std::string& path)
{
    PDH_HCOUNTER counter = nullptr;
    EXPECT_EQ(PdhAddCounterA(query, path.c_str(), 0, &counter), ERROR_SUCCESS) << path;
    return counter;
}

void LayerTest::collect(PDH_HQUERY query)
{
    EXPECT_EQ(PdhCollectQueryData(query), ERROR_SUCCESS);
}

Fetched LayerTest::fetch(PDH_HCOUNTER counter)
{
    PDH_FMT_COUNTERVALUE value;
    value.CStatus = 0x12345678;
    value.longValue = -12345;
    PDH_STATUS status = PdhGetFormattedCounterValue(counter, PDH_FMT_LONG, nullptr, &value);
    return Fetched{status, value.CStatus, value.longValue};
}

LONG LayerTest::value(PDH_HCOUNTER counter)
{
    Fetched fetched = fetch(counter);
    EXPECT_EQ(fetched.status, ERROR_SUCCESS);
    EXPECT_EQ(fetched.counterStatus, PDH_CSTATUS_VALID_DATA);
    return fetched.status == ERROR_SUCCESS ? fetched.value : -1;
}

LONGLONG LayerTest::largeValue(PDH_HCOUNTER counter)
{
    PDH_FMT_COUNTERVALUE value;
    PDH_STATUS status = PdhGetFormattedCounterValue(counter, PDH_FMT_LARGE, nullptr, &value);
    EXPECT_EQ(status, ERROR_SUCCESS);
    return status == ERROR_SUCCESS ? value.largeValue : -1;
}

Fetched LayerTest::sampleOnce(const std::string& path)
{
    PDH_HQUERY query = openQuery();
    PDH_HCOUNTER counter = add(query, path);
    collect(query);
    return fetch(counter);
}

struct statvfs LayerTest::figures(unsigned long blockSize, uint64_t blocks, uint64_t available)
{
    struct statvfs result = {};
    result.f_bsize = blockSize;
    result.f_frsize = blockSize;
    result.f_blocks = blocks;
    result.f_bfree = available;
    result.f_bavail = available;
    return result;
}

} // namespace linuxtest
