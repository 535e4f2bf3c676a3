#include "pdh/full_range.h"

#include <cmath>

#include "pdh/sampling.h"

bool fetchFullValue(PDH_HCOUNTER counter, double* value)
{
    PDH_FMT_COUNTERVALUE fetched = {};
    PDH_STATUS status = PdhGetFormattedCounterValue(counter, PDH_FMT_DOUBLE, nullptr, &fetched);
    pdhDebug(status, "fetchFullValue");
    // As for PDH_FMT_LONG, the call's own status decides; a value that is no
    // number is no value either, since no reader can take it.
    if (status != ERROR_SUCCESS || !std::isfinite(fetched.doubleValue)) {
        return false;
    }
    *value = fetched.doubleValue;
    return true;
}
