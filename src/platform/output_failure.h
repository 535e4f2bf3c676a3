// Telling a reader that went away from an output that failed.
#ifndef MIREKAST_PLATFORM_OUTPUT_FAILURE_H
#define MIREKAST_PLATFORM_OUTPUT_FAILURE_H

// True when the write or flush of standard output that just failed with
// `error` (errno) failed because the reading end of a pipe was closed: a
// reader such as `head` that has all it wants, which is a normal end and not a
// failure.  Ask right after the failed call, before anything else can change
// the system's record of it.
bool outputReaderWentAway(int error);

// Makes a write to a pipe whose reader went away fail, so that the program can
// end normally, instead of ending the process (SIGPIPE on POSIX).
void failWritesToClosedPipe();

#endif
