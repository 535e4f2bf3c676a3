// Runs a function or an executable in a forked child and captures what it
// wrote on standard output and standard error, and how it ended.  Nothing here
// needs the program's code, so the Linux layer's tests use it too.
#ifndef MIREKAST_TESTS_SUPPORT_FORKED_PROCESS_H
#define MIREKAST_TESTS_SUPPORT_FORKED_PROCESS_H

#include <functional>
#include <string>
#include <vector>

struct ChildResult {
    std::string out;
    std::string err;
    int exitCode = -1;  // the exit code, or -1 when the child died of a signal
    int signal = 0;     // the signal that ended the child, or 0
};

// Runs `child` in a child whose standard input is /dev/null and whose standard
// output and standard error go to pipes; a `child` that returns ends with 127.
ChildResult runForked(const std::function<void()>& child);

// A NULL-terminated argument vector pointing into `args`, which must outlive it.
std::vector<char*> argumentVector(std::vector<std::string>& args);

// Runs an executable file with `args` (args[0] included) and captures it the
// same way; for tests of the shipped binary.
ChildResult runExecutable(const std::string& path, const std::vector<std::string>& args);

#endif
