// The help of --help: every option the program takes, short and long, with the
// type and range of each value and one list of exit codes, in the style of
// the -h text, which stays as it always was.
#include <cstdio>
#include <cstdlib>

#include "cli/long_options.h"

void printLongHelp(const char* programName)
{
    printf("Usage:\t%s [-options] [option args]\n\n", programName);
    fputs("\t-h\tprint the short help (the short options only).\n"
          "\t-hs\tprint help on sets.\n"
          "\t--help\tprint help (this screen).\n"
          "\t-v\tprint version info.\n"
          "\t--version\tprint version info.\n"
          "\t-sw [Decimal Integer]\tset screen width (# chars; default 80,\n"
          "\t  \t  at least ((column width + 1) * 2) + 2).\n"
          "\t-cw [Decimal Integer]\tset minimum column width (# chars; default 8,\n"
          "\t  \t  at least 8).\n"
          "\t-L\tprint object/instance/counter names only (collect no data).\n"
          "\t-LO\tprint object names only (collect no data).\n"
          "\t\t\tthese still need -a or -s, and override any sets.\n"
          "\t-l\toutput list format.  table format is default.\n"
          "\t-ll\toutput long list format.  table format is default.\n"
          "\t-r\tenter repeat loop (every interval) until a key is pressed.\n"
          "\t-r1\tcollect twice, one interval apart (useful for per-second stats).\n"
          "\t-a\tcollect data on all objects.\n"
          "\t  \t  NOTE: -a and -r (or -r1) are mutually exclusive.\n"
          "\t  \t  NOTE: -a option overrides any sets created by -s.\n"
          "\t-d\tall numerical output in decimal.\n"
          "\t-s\t{set options}\n"
          "\t  \t  see -hs for help on sets\n"
          "\n"
          "\tA long option's value is the next argument or follows \"=\".\n"
          "\t--count [Decimal Integer]\ttake that many samples (1 to 4294967295),\n"
          "\t  \t  then end.  With -r it bounds the loop; -a may take it.\n"
          "\t  \t  With -r1, N samples come from N + 1 collections one\n"
          "\t  \t  interval apart, each sample with its per-second stats.\n"
          "\t--interval [Decimal Seconds]\tthe sampling period (0.1 to 86400,\n"
          "\t  \t  to the millisecond; default 1).  With any long option the\n"
          "\t  \t  samples keep it: sample k is due k periods after the first; a\n"
          "\t  \t  sample that runs late starts the next at once and the periods\n"
          "\t  \t  it missed are skipped.\n"
          "\t--format [csv|json|prometheus]\tprint the samples as CSV (PDH-CSV 4.0),\n"
          "\t  \t  JSON Lines or Prometheus text (the last sample only, so -r\n"
          "\t  \t  needs --count), with full range values; -l, -ll and -d have\n"
          "\t  \t  no effect.  With -L or -LO, json prints the names as one JSON\n"
          "\t  \t  document.  SIGINT, SIGTERM or SIGHUP end the run once the\n"
          "\t  \t  record being written is whole, by that signal; a second one\n"
          "\t  \t  ends it at once.\n"
          "\n\treturns\t0 - success\n"
          "\t1 - memory could not be allocated\n"
          "\t2 - a pdh call the program needs failed\n"
          "\t3 - undefined argument (the help text of -h follows)\n"
          "\t4 - any other argument or set error, or no data to sample\n"
          "\t5 - standard output could not be written (a full disk, a failed\n"
          "\t  \t  device; a reader that goes away is no failure)\n"
          "\t  \tFailure to add system counters enumerated will not be reported.\n\n"
          "\tFailure to collect counter data will result in a value of -1.\n"
          "\tValues are 32-bit: unsigned in tables, signed in lists; --format\n"
          "\tprints them in full range.\n"
          "\n",
          stdout);
    exit(0);
}
