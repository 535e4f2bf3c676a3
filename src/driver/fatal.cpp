#include "driver/fatal.h"

#include <cstdio>
#include <cstdlib>

void outOfMemory()
{
    fputs("Failed to allocate memory.\n", stderr);
    exit(EXIT_OUT_OF_MEMORY);
}

void reportPdhFailure(const char* message, bool fatal)
{
    fprintf(stderr, "%s\n", message);
    if (fatal) {
        exit(EXIT_PDH_FAILURE);
    }
}
