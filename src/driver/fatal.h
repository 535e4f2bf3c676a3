// The two ways the program ends on a failure it cannot go on from.
#ifndef MIREKAST_DRIVER_FATAL_H
#define MIREKAST_DRIVER_FATAL_H

// Exit codes of the process.
enum ExitCode {
    EXIT_OK = 0,
    EXIT_OUT_OF_MEMORY = 1,
    EXIT_PDH_FAILURE = 2,
    EXIT_UNDEFINED_ARGUMENT = 3,
    EXIT_BAD_REQUEST = 4,
    EXIT_OUTPUT_FAILED = 5, // standard output failed, other than by a closed pipe
};

// Writes "Failed to allocate memory.\n" to standard error and ends the process
// with exit code 1.  Nothing is released first.
[[noreturn]] void outOfMemory();

// Writes `message` and a newline to standard error; when `fatal` is set it then
// ends the process with exit code 2, otherwise it returns.
void reportPdhFailure(const char* message, bool fatal);

#endif
