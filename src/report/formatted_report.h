// The report in the form --format names, pass by pass.
#ifndef MIREKAST_REPORT_FORMATTED_REPORT_H
#define MIREKAST_REPORT_FORMATTED_REPORT_H

#include <cstdint>

#include "platform/stamps.h"
#include "tree/node_list.h"

// Prints pass number `passNumber` (from 1), collected at `stamp`, as csv or
// json; prometheus prints nothing until the end.
void printFormattedPass(NodeList* dataTree, const WallTime& stamp, uint32_t passNumber);

// After the last pass of `passes`, while the query still holds its values:
// the prometheus exposition of the last one.  Nothing for the other forms.
void finishFormattedReport(NodeList* dataTree, uint32_t passes);

#endif
