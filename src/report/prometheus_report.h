// The samples as a Prometheus text exposition (format 0.0.4): what
// node_exporter's textfile collector, and through it Prometheus, reads.
#ifndef MIREKAST_REPORT_PROMETHEUS_REPORT_H
#define MIREKAST_REPORT_PROMETHEUS_REPORT_H

#include "tree/node_list.h"

// Every counter as its type makes it (report/prometheus_names.h), from the
// raw values of the last collection: counts and times as counters whose
// rate() is what PDH formats from two collections, values as gauges, in base
// units; one collection is enough.  HELP and TYPE once per family; samples
// sorted by family and labels, each series once; labels name (and pid, tid
// where the object has ID Process, ID Thread); no _Total rows, no sample for
// a failed fetch, no time stamps.  Counters of a type the program does not
// know are named in a comment line at the top and left out.
void printPrometheusExposition(NodeList* dataTree);

#endif
