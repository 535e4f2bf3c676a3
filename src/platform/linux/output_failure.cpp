#include "platform/output_failure.h"

#include <cerrno>
#include <csignal>

// SIGPIPE is ignored for the sampling loop, so a closed pipe shows as EPIPE.
bool outputReaderWentAway(int error)
{
    return error == EPIPE;
}

void failWritesToClosedPipe()
{
    signal(SIGPIPE, SIG_IGN);
}
