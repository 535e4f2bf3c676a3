// The three texts the program prints about itself.  Each ends the process.
#ifndef MIREKAST_CLI_HELP_TEXTS_H
#define MIREKAST_CLI_HELP_TEXTS_H

// The help text alone, for printHelp and for the longer help of --help.
void writeHelpText(const char* programName);

[[noreturn]] void printHelp(const char* programName, int exitCode);
[[noreturn]] void printSetHelp(const char* programName, int exitCode);
[[noreturn]] void printVersion();

#endif
