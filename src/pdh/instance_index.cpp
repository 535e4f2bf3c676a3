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

int32_t* countEqualNamesBefore(const char* instances)
{
    uint32_t count = 0;
    for (const char* name = firstName(instances); name != nullptr; name = nextName(name)) {
        count++;
    }
    if (count == 0) {
        return nullptr;
    }
    PlacedName* placed = static_cast<PlacedName*>(allocateMemory(count * sizeof(PlacedName)));
    int32_t* indices = static_cast<int32_t*>(allocateMemory(count * sizeof(int32_t)));
    if (placed == nullptr || indices == nullptr) {
        outOfMemory();
    }
    uint32_t position = 0;
    for (const char* name = firstName(instances); name != nullptr; name = nextName(name)) {
        placed[position] = PlacedName{name, position};
        position++;
    }
    std::sort(placed, placed + count, placedBefore);
    int32_t index = 0;
    for (uint32_t i = 0; i < count; i++) {
        bool sameAsBefore = i > 0 && strcmp(placed[i - 1].name, placed[i].name) == 0;
        index = sameAsBefore ? index + 1 : 0;
        indices[placed[i].position] = index;
    }
    releaseMemory(placed);
    return indices;
}
