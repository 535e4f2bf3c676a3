// Fetching a counter's value with its full range, for the forms that other
// programs read: no 32-bit truncation, rates and percentages with their
// fraction.
#ifndef MIREKAST_PDH_FULL_RANGE_H
#define MIREKAST_PDH_FULL_RANGE_H

#include "platform/pdh_api.h"

// Stores the counter's value as PDH_FMT_DOUBLE formats it and returns true;
// returns false when the fetch fails or answers no finite number.
bool fetchFullValue(PDH_HCOUNTER counter, double* value);

#endif
