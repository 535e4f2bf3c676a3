// The program's whole flow, callable from tests; main() only forwards to it.
#ifndef MIREKAST_DRIVER_PROGRAM_H
#define MIREKAST_DRIVER_PROGRAM_H

// Returns the process exit code.  Failures end the process from inside.
int programMain(int argc, char** argv);

#endif
