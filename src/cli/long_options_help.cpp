// The help of --help: the -h text, then what that text cannot tell without
// changing: the long options and the exit codes as they stand.
#include <cstdio>
#include <cstdlib>

#include "cli/help_texts.h"
#include "cli/long_options.h"

void printLongHelp(const char* programName)
{
    writeHelpText(programName);
    fputs("Long options (a value follows as the next argument or after \"=\"):\n"
          "\t--count N\ttake N samples, one interval apart, then end.\n"
          "\t  \t  With -r it bounds the loop; -a may take it.\n"
          "\t--interval SECONDS\ttime between samples and between the two\n"
          "\t  \t  collections of -r1 (0.1 to 86400; default 1).\n"
          "\t--format csv|json|prometheus\tprint the samples as CSV (PDH-CSV 4.0),\n"
          "\t  \t  JSON Lines or Prometheus text (the last sample only), with full\n"
          "\t  \t  range values; -l, -ll and -d have no effect.  With -L or -LO,\n"
          "\t  \t  json prints the names as one JSON document.\n"
          "\t--help\tprint this help.\n"
          "\t--version\tprint version info.\n"
          "\n"
          "Exit codes:\n"
          "\t0 - success\n"
          "\t1 - memory could not be allocated\n"
          "\t2 - a performance-data call failed\n"
          "\t3 - an undefined argument (the help text follows)\n"
          "\t4 - any other argument or set error, or no data to sample\n"
          "\t5 - standard output could not be written (a full disk, a failed device)\n"
          "\n",
          stdout);
    exit(0);
}
