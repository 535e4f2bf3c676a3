// What the sampling loop needs from the console, on every platform.
#ifndef MIREKAST_PLATFORM_CONSOLE_H
#define MIREKAST_PLATFORM_CONSOLE_H

#include <cstdint>

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

// Milliseconds on a clock that only moves forward, from an arbitrary start:
// what the period of --interval is kept on, unmoved when the wall clock is set.
int64_t monotonicMillis();

// Sleeps until monotonicMillis() reaches `due`; returns at once when it
// already has, and early once an ending signal has been held.
void sleepUntilMillis(int64_t due);

// From now on SIGINT, SIGTERM and SIGHUP (on Windows, Ctrl-C and Ctrl-Break)
// no longer end the process at once: the first is held, so that the record
// being written can be finished; a second one ends the process at once, the
// terminal's mode restored.  Signals the process was started with ignored stay
// ignored.  Call it after beginConsoleSampling.
void holdEndingSignals();

// The signal held since holdEndingSignals, or 0.
int heldEndingSignal();

// Restores what beginConsoleSampling changed and ends the process by the held
// signal, as if it had not been held, so that its status says which.
[[noreturn]] void endByHeldSignal();

#endif
