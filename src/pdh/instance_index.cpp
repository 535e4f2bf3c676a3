#include "pdh/instance_index.h"

#include <algorithm>
#include <cstring>

#include "driver/fatal.h"
#include "driver/memory.h"
#include "pdh/enumeration.h"

namespace {

struct PlacedName {
    const char* name;
    uint32_t position;
};

// Equal names keep block order, so that a run of equal names counts up from
// 0 in the order PDH delivered them.
bool placedBefore(const PlacedName& left, const PlacedName& right)
{
    int order = strcmp(left.name, right.name);
    return order != 0 ? order < 0 : left.position < right.position;
}

} // namespace

int32_t* indexInstances(const char* instances, uint32_t** listOrder, uint32_t* count)
{
    *count = 0;
    if (listOrder != nullptr) {
        *listOrder = nullptr;
    }
    for (const char* name = firstName(instances); name != nullptr; name = nextName(name)) {
        (*count)++;
    }
    uint32_t names = *count;
    if (names == 0) {
        return nullptr;
    }
    PlacedName* placed = static_cast<PlacedName*>(allocateMemory(names * sizeof(PlacedName)));
    int32_t* indices = static_cast<int32_t*>(allocateMemory(names * sizeof(int32_t)));
    uint32_t* order = nullptr;
    if (listOrder != nullptr) {
        order = static_cast<uint32_t*>(allocateMemory(names * sizeof(uint32_t)));
    }
    if (placed == nullptr || indices == nullptr || (listOrder != nullptr && order == nullptr)) {
        outOfMemory();
    }
    uint32_t position = 0;
    for (const char* name = firstName(instances); name != nullptr; name = nextName(name)) {
        placed[position] = PlacedName{name, position};
        position++;
    }
    std::sort(placed, placed + names, placedBefore);
    uint32_t runStart = 0;
    for (uint32_t i = 0; i < names; i++) {
        bool sameAsBefore = i > 0 && strcmp(placed[i - 1].name, placed[i].name) == 0;
        if (!sameAsBefore) {
            runStart = i;
        }
        indices[placed[i].position] = static_cast<int32_t>(i - runStart);
    }
    if (order != nullptr) {
        // Each run of equal names goes in reverse: the later one first.
        uint32_t start = 0;
        while (start < names) {
            uint32_t end = start + 1;
            while (end < names && indices[placed[end].position] != 0) {
                end++;
            }
            for (uint32_t i = start; i < end; i++) {
                order[i] = placed[start + end - 1 - i].position;
            }
            start = end;
        }
        *listOrder = order;
    }
    releaseMemory(placed);
    return indices;
}

int32_t* countEqualNamesBefore(const char* instances)
{
    uint32_t count = 0;
    return indexInstances(instances, nullptr, &count);
}
