// The samples as the comma-separated logs of Windows' performance tools
// (PDH-CSV 4.0), so that what reads those logs reads these.
#ifndef MIREKAST_REPORT_CSV_REPORT_H
#define MIREKAST_REPORT_CSV_REPORT_H

#include <cstdint>

#include "platform/stamps.h"
#include "tree/node_list.h"

// One row for the pass collected at `stamp`, with the header row before the
// first pass's.  The columns are the counter nodes of `dataTree` in its
// order, fixed for the run; a value that cannot be fetched is " ".
void printCsvPass(NodeList* dataTree, const WallTime& stamp, uint32_t passNumber);

#endif
