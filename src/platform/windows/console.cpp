// The Windows console: a look at the pending input events that takes none of
// them, so the key that ends the loop reaches the shell afterwards.
#include "platform/console.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <csignal>
#include <cstdlib>

// Nothing to prepare or undo here.  The console hands key events to
// PeekConsoleInput in every input mode, so unlike a POSIX terminal it needs no
// mode change (and so nothing to restore on Ctrl-C), and a write to a closed
// pipe fails with an error indicator rather than a signal.
void beginConsoleSampling()
{
}

void endConsoleSampling()
{
}

// A key going down counts, unless it is a modifier or lock key pressed alone:
// those come as events of their own, before the key they modify.
static bool isKeyPress(const INPUT_RECORD& record)
{
    if (record.EventType != KEY_EVENT || !record.Event.KeyEvent.bKeyDown) {
        return false;
    }
    switch (record.Event.KeyEvent.wVirtualKeyCode) {
    case VK_SHIFT:
    case VK_LSHIFT:
    case VK_RSHIFT:
    case VK_CONTROL:
    case VK_LCONTROL:
    case VK_RCONTROL:
    case VK_MENU:
    case VK_LMENU:
    case VK_RMENU:
    case VK_LWIN:
    case VK_RWIN:
    case VK_CAPITAL:
    case VK_NUMLOCK:
    case VK_SCROLL:
        return false;
    default:
        return true;
    }
}

bool keyPressWaiting()
{
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    DWORD mode = 0;
    // A pipe, a file or no standard input at all: no console, no key.
    if (input == nullptr || input == INVALID_HANDLE_VALUE || !GetConsoleMode(input, &mode)) {
        return false;
    }
    // The count only sizes the buffer: Wine's console reports no events until
    // its input has been peeked, so peek every time.  PeekConsoleInput returns
    // at once when nothing waits.
    DWORD pending = 0;
    if (!GetNumberOfConsoleInputEvents(input, &pending)) {
        pending = 0;
    }
    // Peeking always starts at the oldest event, so every pending one must fit
    // to be seen.  Ignored events (modifier keys, key releases, focus changes)
    // stay queued and can pile up; should a large enough buffer be refused,
    // look at the oldest ones this time.
    INPUT_RECORD nearby[64];
    INPUT_RECORD* records = nearby;
    DWORD capacity = sizeof nearby / sizeof nearby[0];
    if (pending > capacity) {
        void* block = malloc(pending * sizeof(INPUT_RECORD));
        if (block != nullptr) {
            records = static_cast<INPUT_RECORD*>(block);
            capacity = pending;
        }
    }
    DWORD seen = 0;
    bool found = false;
    if (PeekConsoleInputW(input, records, capacity, &seen)) {
        for (DWORD i = 0; i < seen && !found; ++i) {
            found = isKeyPress(records[i]);
        }
    }
    if (records != nearby) {
        free(records);
    }
    return found;
}

void sleepMilliseconds(unsigned milliseconds)
{
    Sleep(milliseconds);
}

// The performance counter, read as milliseconds: it never goes back and is
// not moved when the wall clock is set.
int64_t monotonicMillis()
{
    static LARGE_INTEGER frequency = {};
    if (frequency.QuadPart == 0) {
        QueryPerformanceFrequency(&frequency);
    }
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<int64_t>(now.QuadPart / frequency.QuadPart * 1000 +
                                now.QuadPart % frequency.QuadPart * 1000 / frequency.QuadPart);
}

// Ctrl-C and Ctrl-Break come on a thread of their own; the first is noted and
// wakes the loop's wait, a second goes on to the default handler, which ends
// the process at once.
static volatile LONG heldEvent = 0;
static HANDLE heldWake = nullptr;

static BOOL WINAPI holdOrEnd(DWORD event)
{
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) {
        return FALSE;
    }
    LONG signalNumber = event == CTRL_C_EVENT ? SIGINT : SIGBREAK;
    if (InterlockedCompareExchange(&heldEvent, signalNumber, 0) != 0) {
        return FALSE;
    }
    SetEvent(heldWake);
    return TRUE;
}

void sleepUntilMillis(int64_t due)
{
    for (int64_t left = due - monotonicMillis(); left > 0 && heldEvent == 0;
         left = due - monotonicMillis()) {
        DWORD wait = left > 0x7fffffff ? 0x7fffffff : static_cast<DWORD>(left);
        if (heldWake != nullptr) {
            WaitForSingleObject(heldWake, wait);
        } else {
            Sleep(wait);
        }
    }
}

void holdEndingSignals()
{
    heldWake = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (heldWake != nullptr) {
        SetConsoleCtrlHandler(holdOrEnd, TRUE);
    }
}

int heldEndingSignal()
{
    return static_cast<int>(heldEvent);
}

// As the default handler ends a process on Ctrl-C.
void endByHeldSignal()
{
    ExitProcess(STATUS_CONTROL_C_EXIT);
}
