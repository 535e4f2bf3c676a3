// The one test of UTF-8 that both the Linux layer (names it hands out) and
// the machine-readable forms (names they print) make.
#ifndef MIREKAST_PLATFORM_UTF8_H
#define MIREKAST_PLATFORM_UTF8_H

#include <cstddef>
#include <cstdint>

// The length of the valid UTF-8 sequence at `text`, which has `room` bytes
// left, or 0 when none starts there: no overlong forms, no surrogates,
// nothing above U+10FFFF.
inline size_t utf8SequenceAt(const unsigned char* text, size_t room)
{
    unsigned char lead = text[0];
    if (lead < 0x80) {
        return 1;
    }
    size_t length;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (length > room || text[1] < low || text[1] > high) {
        return 0;
    }
    for (size_t i = 2; i < length; i++) {
        if (text[i] < 0x80 || text[i] > 0xBF) {
            return 0;
        }
    }
    return length;
}

#endif
