#include "report/shown_name.h"

#include <cstring>

void showControlBytes(char* text, size_t length)
{
    for (size_t i = 0; i < length; i++) {
        if (hiddenByte(static_cast<unsigned char>(text[i]))) {
            text[i] = '?';
        }
    }
}

void writeShownName(FILE* out, const char* name)
{
    const char* run = name;
    for (const char* at = name;; at++) {
        unsigned char byte = static_cast<unsigned char>(*at);
        if (byte != '\0' && !hiddenByte(byte)) {
            continue;
        }
        fwrite(run, 1, static_cast<size_t>(at - run), out);
        if (byte == '\0') {
            return;
        }
        putc('?', out);
        run = at + 1;
    }
}
