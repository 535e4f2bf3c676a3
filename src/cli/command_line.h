// The option parser.
#ifndef MIREKAST_CLI_COMMAND_LINE_H
#define MIREKAST_CLI_COMMAND_LINE_H

#include "tree/node_list.h"

// Reads every argument once, left to right, fills runSettings and returns the
// list of sets.  Prints the help, set help and version texts and every
// command-line error itself and ends the process for them; returns only when
// -a or at least one set was given.  The caller owns the returned list.
NodeList* parseCommandLine(int argc, char** argv);

// True when every byte of `text` is an ASCII digit; also for "".
bool isAllDigits(const char* text);

#endif
