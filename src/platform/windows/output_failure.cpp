#include "platform/output_failure.h"

#include <windows.h>

#include <cerrno>
#include <cstdlib>

// The C runtime maps a broken pipe to EPIPE, but a pipe whose reader is
// closing (ERROR_NO_DATA) or gone (ERROR_PIPE_NOT_CONNECTED, as Wine reports
// it) to EINVAL; the system's own code tells them apart.
bool outputReaderWentAway(int error)
{
    unsigned long systemError = _doserrno;
    return error == EPIPE || systemError == ERROR_BROKEN_PIPE || systemError == ERROR_NO_DATA ||
           systemError == ERROR_PIPE_NOT_CONNECTED;
}

// A write to a closed pipe fails here without a signal.
void failWritesToClosedPipe()
{
}
