#include "report/formatted_report.h"

#include "cli/long_options.h"
#include "report/csv_report.h"
#include "report/json_report.h"
#include "report/prometheus_report.h"

void printFormattedPass(NodeList* dataTree, const WallTime& stamp, uint32_t passNumber)
{
    if (longOptions.format == FORMAT_CSV) {
        printCsvPass(dataTree, stamp, passNumber);
    } else if (longOptions.format == FORMAT_JSON) {
        printJsonPass(dataTree, stamp);
    }
}

void finishFormattedReport(NodeList* dataTree, uint32_t passes)
{
    if (longOptions.format == FORMAT_PROMETHEUS && passes > 0) {
        printPrometheusExposition(dataTree);
    }
}
