// Every allocation of the program's own code goes through here, so that tests
// can make any one of them fail and watch the program end cleanly.
#ifndef MIREKAST_DRIVER_MEMORY_H
#define MIREKAST_DRIVER_MEMORY_H

#include <cstddef>

// Returns a zero-filled block of `size` bytes, or null when the allocation
// fails (or the test hook says it should).  The caller tests the result and
// ends in outOfMemory() on null.  A size of 0 still allocates one byte, so
// null always means failure.
void* allocateMemory(size_t size);

// Returns a zero-filled block of `size` bytes, or ends the process through
// outOfMemory().
void* allocateOrEnd(size_t size);

// Releases a block from allocateMemory; null is ignored.
void releaseMemory(void* block);

// Returns a private copy of `text` in a zero-filled buffer of its length plus
// one, or ends the process through outOfMemory().
char* copyText(const char* text);

// Makes every allocation that fails outside allocateMemory (the standard
// containers of a platform layer, operator new anywhere) end the process
// through outOfMemory() too, instead of throwing std::bad_alloc into code
// that has no answer to it.  main installs it before anything allocates.
void endOnAnyFailedAllocation();

// Test hooks.  allocationCount() is the number of allocations asked for so
// far; failAllocationNumber(n) makes the n-th allocation from the start of the
// process (counting from 1) fail, 0 turns that off.
long allocationCount();
void failAllocationNumber(long n);

#endif
