// Printing one sample: tables (the default), a list or a long list.
#ifndef MIREKAST_REPORT_REPORT_H
#define MIREKAST_REPORT_REPORT_H

#include "tree/node_list.h"

void printReport(NodeList* dataTree, NodeList* headerTree);

#endif
