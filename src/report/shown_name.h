// Names as the text forms show them: a byte below 0x20 or 0x7f becomes '?'.
// A name that held a line break or a terminal's escape sequence would cut a
// table's line, forge a list's line or reach the terminal; the system's own
// names hold none, so they show as they are.
#ifndef MIREKAST_REPORT_SHOWN_NAME_H
#define MIREKAST_REPORT_SHOWN_NAME_H

#include <cstddef>
#include <cstdio>

// Whether the text form shows `byte` as '?'.
inline bool hiddenByte(unsigned char byte)
{
    return byte < 0x20 || byte == 0x7f;
}

// Replaces, in place, every byte of the `length` bytes of `text` that the
// text forms do not show.
void showControlBytes(char* text, size_t length);

// Writes `name` to `out` as the text forms show it.
void writeShownName(FILE* out, const char* name);

#endif
