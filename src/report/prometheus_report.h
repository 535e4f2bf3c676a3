// The samples as a Prometheus text exposition (format 0.0.4): what
// node_exporter's textfile collector, and through it Prometheus, reads.
#ifndef MIREKAST_REPORT_PROMETHEUS_REPORT_H
#define MIREKAST_REPORT_PROMETHEUS_REPORT_H

#include <cstddef>

#include "tree/node_list.h"

// One gauge per object and counter, named mirekast_<object>_<counter> in
// snake case with the unit as Prometheus names it; HELP and TYPE once per
// metric; labels name and index for the instance; no sample for a failed
// fetch and no time stamps.  An exposition is a snapshot: print it once,
// after the last collection.
void printPrometheusExposition(NodeList* dataTree);

// The metric name for a counter of an object, into `name` of `size` bytes
// (cut short when it does not fit); returns the factor that turns the
// counter's values into the metric's base unit (1 but for sizes counted in
// kilobytes or megabytes).
double prometheusMetricName(const char* objectName, const char* counterName, char* name,
                            size_t size);

#endif
