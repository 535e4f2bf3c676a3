// The run's settings: written only by parseCommandLine, read everywhere else.
#ifndef MIREKAST_CLI_RUN_SETTINGS_H
#define MIREKAST_CLI_RUN_SETTINGS_H

#include <cstdint>

const uint32_t FLAG_DECIMAL = 0x01;      // -d: values in decimal
const uint32_t FLAG_LIST = 0x02;         // -l, -ll: list instead of tables
const uint32_t FLAG_LONG_LIST = 0x04;    // -ll: the long list
const uint32_t FLAG_NAMES_ONLY = 0x08;   // -L, -LO: print names, sample nothing
const uint32_t FLAG_OBJECTS_ONLY = 0x10; // -LO: object names alone
const uint32_t FLAG_ALL_OBJECTS = 0x20;  // -a: every counter of every object
const uint32_t FLAG_REPEAT = 0x40;       // -r: every second until a key
const uint32_t FLAG_REPEAT_ONCE = 0x80;  // -r1: collect twice, a second apart

struct RunSettings {
    int32_t screenWidth; // characters
    int32_t columnWidth; // minimum cell width, characters
    uint32_t flags;
};

const int32_t INITIAL_SCREEN_WIDTH = 80;
const int32_t INITIAL_COLUMN_WIDTH = 8;

extern RunSettings runSettings;

#endif
