// Standard output that fails.  A reader that went away (`mirekast ... | head`)
// is a normal end; any other failed write or flush, such as a full disk, is a
// failure, told once the pass is done, so that a lost report is never taken
// for a finished one.
#ifndef MIREKAST_DRIVER_OUTPUT_CHECK_H
#define MIREKAST_DRIVER_OUTPUT_CHECK_H

// Flushes standard output and, when it has failed during the pass or the
// flush, keeps the system's reason of the first failure.  Call it at the end of
// each pass in place of a bare flush.
void flushPassOutput();

// Flushes what is left and answers the exit code of the run: EXIT_OK when
// standard output is fine or its reader went away; otherwise it writes
// "Error: Failed to write standard output: <reason>." on standard error and
// answers EXIT_OUTPUT_FAILED.
int finishOutput();

#endif
