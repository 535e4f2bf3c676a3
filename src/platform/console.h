// What the sampling loop needs from the console, on every platform.
#ifndef MIREKAST_PLATFORM_CONSOLE_H
#define MIREKAST_PLATFORM_CONSOLE_H

// Prepares the console for the sampling loop.  On a POSIX terminal this puts
// standard input into non-canonical, no-echo mode, so that any key counts and
// not only Enter, and arranges for the previous mode to come back on every way
// out of the process (normal end, exit from anywhere, SIGINT, SIGTERM, SIGHUP).
// On POSIX it also ignores SIGPIPE, so that a closed output pipe sets the
// stream's error indicator instead of killing the process.  Call it once.
void beginConsoleSampling();

// Restores what beginConsoleSampling changed.  Safe to call more than once.
void endConsoleSampling();

// True when a key press is waiting on the console.  Never blocks and never
// consumes the key, so it reaches the shell once the program has ended.  When
// standard input is not a console no key is ever waiting.
bool keyPressWaiting();

// A plain sleep.
void sleepMilliseconds(unsigned milliseconds);

#endif
