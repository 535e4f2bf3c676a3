#include "cli/run_settings.h"

RunSettings runSettings = {INITIAL_SCREEN_WIDTH, INITIAL_COLUMN_WIDTH, 0};
