#include "cli/help_texts.h"

#include <cstdio>
#include <cstdlib>

// Lines holding the program name are printed with printf; every other percent
// sign in these texts is literal, hence the "%%" in those lines.

void writeHelpText(const char* programName)
{
    printf("Usage:\t%s [-options] [option args]\n\n", programName);
    fputs("\t-h\tprint help (this screen).\n"
          "\t-hs\tprint help on sets.\n"
          "\t-sw [Decimal Integer]\tset screen width (# chars).\n"
          "\t-cw [Decimal Integer]\tset minimum column width (# chars).\n"
          "\t-v\tprint version info.\n"
          "\t-L\tprint object/instance/counter names only (collect no data).\n"
          "\t-LO\tprint object names only (collect no data).\n"
          "\t\t\tthis option overrides any sets defined by -s or -f.\n"
          "\t-l\toutput list format.  table format is default.\n"
          "\t-ll\toutput long list format.  table format is default.\n"
          "\t-r\tenter repeat loop (1000ms).\n"
          "\t-r1\trepeat query once after 1000ms (useful for per-second stats).\n"
          "\t-a\tcollect data on all objects.\n"
          "\t  \t  NOTE: -a and -r (or r1) are mutually exclusive.\n"
          "\t  \t  NOTE: -a option overrides any sets created by -s or -f.\n"
          "\t-d\tall numerical output in decimal.\n"
          "\t-s\t{set options}\n"
          "\t  \t  see -hs for help on sets\n"
          "\n\treturns\t0 - success\n"
          "\t1 - malloc failure\n"
          "\t2 - pdh call failure\n"
          "\t3 - CLI arg error\n"
          "\t4 - Set format arg error\n"
          "\t  \tFailure to add system counters enumerated will not be reported.\n\n"
          "\tFailure to collect counter data will result in a value of -1.\n"
          "\tData is of type unsigned long.\n"
          "\n",
          stdout);
}

void printHelp(const char* programName, int exitCode)
{
    writeHelpText(programName);
    exit(exitCode);
}

void printSetHelp(const char* programName, int exitCode)
{
    fputs("Performance Object Collector Sets!\n\n"
          "You can specify any number of System Performance Objects\n"
          "from which to collect data.  Each performance object has\n"
          "one or more instance.  Each of those instances has one\n"
          "or more performance counters.  Using sets, you can collect\n"
          "information on any combination of instances and counters.\n\n"
          "The syntax for specifying a set is as follows:\n\n"
          "\t-s {Object -i \"ISpecs\" -c \"CSpecs\" -i \"ISpecs\" -c \"CSpecs\" ... }\n\n"
          "Each of the above \"ISpecs\" and \"CSpecs\" may be one or more\n"
          "textual specifications.  Each spec must be surrounded by double\n"
          "quotes (\"Spec\") if it contains spaces.  Additionally, the \"*\"\n"
          "character may be used as a wildcard to designate all instances or\n"
          "all counters for a particular selection.  However, \"*\" may NOT be\n"
          "used as a glob-style selection.  Objects may not use \"*\" for\n"
          "selection.  Examples are in order:\n\n",
          stdout);
    printf("\t%s -s {Process -i * -c \"%% Processor Time\"}\n\n", programName);
    fputs("Will gather data about \"% Processor Time\" for all processes.\n\n\n", stdout);
    printf("\t%s -s {Process -i wish83 -c *}\n\n", programName);
    fputs("Will gather all data about all instances of wish83.\n\n\n", stdout);
    printf("\t%s -s {Process -i * -c \"%% Processor Time\" -i wish83 -c *}\n\n", programName);
    fputs("Will gather data about \"% Processor Time\" for all processes, and all data\n"
          "about all instances of wish83.\n\n\n",
          stdout);
    printf("\t%s -s {Process -i * -c \"%% Processor Time\" \"%% User Time\"\n", programName);
    fputs("\t\t-i wish83 gvim -c *}\n\n"
          "Will gather data about \"% Processor Time\" and \"% User Time\" for all processes,\n"
          "and all data about all instances of wish83 and gvim.\n\n\n"
          "Furthermore, if you use the default table-format output, each\n"
          "set defined with a -s switch will comprise a table:\n\n",
          stdout);
    printf("\t%s -s {Process -i * -c \"%% Processor Time\" -i gvim -c *}\n", programName);
    fputs("\t\t-s {Thread -i Idle/0 Explorer/0 -c \"Elapsed Time\"}\n\n"
          "Will output two tables.  The first table will contain data about\n"
          "\"% Processor Time\" for all processes, and all data about all instances\n"
          "of gvim.  The second table will contain \"Elapsed Time\" data on the\n"
          "Idle/0 and Explorer/0 threads.\n\n\n"
          "If you are in doubt about the System Performance Objects your system\n"
          "offers remember the -LO option.  Also remember that the -L option\n"
          "will dumpt all available Object, Instance, and Counter names to\n"
          "the screen.\n\n",
          stdout);
    exit(exitCode);
}

void printVersion()
{
    printf("Mirekast: Mirekast version %s\n\n", "1.0");
    exit(0);
}
