#include "driver/memory.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "driver/fatal.h"

static long allocationsAsked = 0;
static long allocationToFail = 0;

void* allocateMemory(size_t size)
{
    allocationsAsked++;
    if (allocationToFail != 0 && allocationsAsked == allocationToFail) {
        return nullptr;
    }
    return calloc(1, size == 0 ? 1 : size);
}

void releaseMemory(void* block)
{
    free(block);
}

void* allocateOrEnd(size_t size)
{
    void* block = allocateMemory(size);
    if (block == nullptr) {
        outOfMemory();
    }
    return block;
}

char* copyText(const char* text)
{
    size_t length = strlen(text);
    char* copy = static_cast<char*>(allocateOrEnd(length + 1));
    memcpy(copy, text, length);
    return copy;
}

void endOnAnyFailedAllocation()
{
    std::set_new_handler(outOfMemory);
}

long allocationCount()
{
    return allocationsAsked;
}

void failAllocationNumber(long n)
{
    allocationToFail = n;
}
