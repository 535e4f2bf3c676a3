#include "pdh/sampling.h"

// Marks a value that could not be fetched; a counter whose value is -1 looks
// the same.
static const uint32_t FETCH_FAILED = 0xFFFFFFFFu;

void gatherPerfData(NodeList* list, Node* node)
{
    (void)list;
    if (node->counter == nullptr) {
        return;
    }
    PDH_FMT_COUNTERVALUE value = {};
    PDH_STATUS status = PdhGetFormattedCounterValue(node->counter, PDH_FMT_LONG, nullptr, &value);
    pdhDebug(status, "gatherPerfData");
    // Only the call's own status counts; value.CStatus is not looked at.
    node->data = status == ERROR_SUCCESS ? static_cast<uint32_t>(value.longValue) : FETCH_FAILED;
}

void pdhDebug(PDH_STATUS status, const char* tag)
{
    // The one place to watch every PDH call site from, under a debugger or
    // when tracing a failure; silent in the shipped program.
    (void)status;
    (void)tag;
}
