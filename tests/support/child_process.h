// Runs a piece of the program in a forked child and captures what it wrote on
// standard output and standard error, and how it ended.  The program ends the
// process on every failure, so whole-program tests cannot run it in-process.
#ifndef MIREKAST_TESTS_SUPPORT_CHILD_PROCESS_H
#define MIREKAST_TESTS_SUPPORT_CHILD_PROCESS_H

#include <functional>
#include <string>
#include <vector>

struct ChildResult {
    std::string out;
    std::string err;
    int exitCode = -1;  // the exit code, or -1 when the child died of a signal
    int signal = 0;     // the signal that ended the child, or 0
};

// Runs `body` in a child whose standard input is /dev/null and whose standard
// output and standard error go to pipes; its return value is the exit code
// (through exit(), so buffered output is flushed).  The run settings start
// from their initial values in the child.
ChildResult runInChild(const std::function<int()>& body);

// A NULL-terminated argument vector pointing into `args`, which must outlive it.
std::vector<char*> argumentVector(std::vector<std::string>& args);

// Runs the program's whole flow with `args` as its argument vector (args[0] is
// the program name the program sees).
ChildResult runProgram(const std::vector<std::string>& args);

// Runs an executable file with `args` (args[0] included) and captures it the
// same way; for tests of the shipped binary.
ChildResult runExecutable(const std::string& path, const std::vector<std::string>& args);

#endif
