#include "driver/output_check.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "driver/fatal.h"
#include "platform/output_failure.h"

static bool failureKept = false;
static bool readerGone = false;
static int keptError = 0;

void flushPassOutput()
{
    // The errno of a write that failed inside the pass is still the latest
    // one: printing sets errno only when a write fails.
    int duringPass = errno;
    errno = 0;
    int flushed = fflush(stdout);
    if (failureKept || !ferror(stdout)) {
        return;
    }
    int error = flushed != 0 && errno != 0 ? errno : duringPass;
    failureKept = true;
    keptError = error != 0 ? error : EIO;
    readerGone = outputReaderWentAway(keptError);
}

int finishOutput()
{
    flushPassOutput();
    if (!failureKept || readerGone) {
        return EXIT_OK;
    }
    fprintf(stderr, "Error: Failed to write standard output: %s.\n", strerror(keptError));
    return EXIT_OUTPUT_FAILED;
}
