#include "platform/output_failure.h"

#include <cerrno>

// SIGPIPE is ignored for the sampling loop, so a closed pipe shows as EPIPE.
bool outputReaderWentAway(int error)
{
    return error == EPIPE;
}
