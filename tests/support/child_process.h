// Runs a piece of the program in a forked child and captures what it wrote on
// standard output and standard error, and how it ended.  The program ends the
// process on every failure, so whole-program tests cannot run it in-process.
#ifndef MIREKAST_TESTS_SUPPORT_CHILD_PROCESS_H
#define MIREKAST_TESTS_SUPPORT_CHILD_PROCESS_H

#include <functional>
#include <string>
#include <vector>

#include "support/forked_process.h"

// Runs `body` in a child whose standard input is /dev/null and whose standard
// output and standard error go to pipes; its return value is the exit code
// (through exit(), so buffered output is flushed).  The run settings start
// from their initial values in the child.
ChildResult runInChild(const std::function<int()>& body);

// Runs the program's whole flow with `args` as its argument vector (args[0] is
// the program name the program sees).
ChildResult runProgram(const std::vector<std::string>& args);

#endif
