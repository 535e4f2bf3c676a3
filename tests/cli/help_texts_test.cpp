// The help, set help and version texts, byte for byte.
#include <gtest/gtest.h>

#include <string>

#include "support/child_process.h"

namespace {

std::string helpText(const std::string& programName)
{
    return "Usage:\t" + programName + " [-options] [option args]\n\n" + R"(	-h	print help (this screen).
	-hs	print help on sets.
	-sw [Decimal Integer]	set screen width (# chars).
	-cw [Decimal Integer]	set minimum column width (# chars).
	-v	print version info.
	-L	print object/instance/counter names only (collect no data).
	-LO	print object names only (collect no data).
			this option overrides any sets defined by -s or -f.
	-l	output list format.  table format is default.
	-ll	output long list format.  table format is default.
	-r	enter repeat loop (1000ms).
	-r1	repeat query once after 1000ms (useful for per-second stats).
	-a	collect data on all objects.
	  	  NOTE: -a and -r (or r1) are mutually exclusive.
	  	  NOTE: -a option overrides any sets created by -s or -f.
	-d	all numerical output in decimal.
	-s	{set options}
	  	  see -hs for help on sets

	returns	0 - success
	1 - malloc failure
	2 - pdh call failure
	3 - CLI arg error
	4 - Set format arg error
	  	Failure to add system counters enumerated will not be reported.

	Failure to collect counter data will result in a value of -1.
	Data is of type unsigned long.

)";
}

std::string setHelpText(const std::string& p)
{
    return R"(Performance Object Collector Sets!

You can specify any number of System Performance Objects
from which to collect data.  Each performance object has
one or more instance.  Each of those instances has one
or more performance counters.  Using sets, you can collect
information on any combination of instances and counters.

The syntax for specifying a set is as follows:

	-s {Object -i "ISpecs" -c "CSpecs" -i "ISpecs" -c "CSpecs" ... }

Each of the above "ISpecs" and "CSpecs" may be one or more
textual specifications.  Each spec must be surrounded by double
quotes ("Spec") if it contains spaces.  Additionally, the "*"
character may be used as a wildcard to designate all instances or
all counters for a particular selection.  However, "*" may NOT be
used as a glob-style selection.  Objects may not use "*" for
selection.  Examples are in order:

	)" + p + R"( -s {Process -i * -c "% Processor Time"}

Will gather data about "% Processor Time" for all processes.


	)" + p + R"( -s {Process -i wish83 -c *}

Will gather all data about all instances of wish83.


	)" + p + R"( -s {Process -i * -c "% Processor Time" -i wish83 -c *}

Will gather data about "% Processor Time" for all processes, and all data
about all instances of wish83.


	)" + p + R"( -s {Process -i * -c "% Processor Time" "% User Time"
		-i wish83 gvim -c *}

Will gather data about "% Processor Time" and "% User Time" for all processes,
and all data about all instances of wish83 and gvim.


Furthermore, if you use the default table-format output, each
set defined with a -s switch will comprise a table:

	)" + p + R"( -s {Process -i * -c "% Processor Time" -i gvim -c *}
		-s {Thread -i Idle/0 Explorer/0 -c "Elapsed Time"}

Will output two tables.  The first table will contain data about
"% Processor Time" for all processes, and all data about all instances
of gvim.  The second table will contain "Elapsed Time" data on the
Idle/0 and Explorer/0 threads.


If you are in doubt about the System Performance Objects your system
offers remember the -LO option.  Also remember that the -L option
will dumpt all available Object, Instance, and Counter names to
the screen.

)";
}

void expectRun(const ChildResult& run, const std::string& out, const std::string& err, int code)
{
    EXPECT_EQ(run.out, out);
    EXPECT_EQ(run.err, err);
    EXPECT_EQ(run.exitCode, code);
}

TEST(HelpTexts, HelpSetHelpAndVersionEndWithZero)
{
    expectRun(runProgram({"mirekast", "-h"}), helpText("mirekast"), "", 0);
    expectRun(runProgram({"mirekast", "-hs"}), setHelpText("mirekast"), "", 0);
    expectRun(runProgram({"mirekast", "-v"}), "Mirekast: Mirekast version 1.0\n\n", "", 0);
}

TEST(HelpTexts, ProgramNameIsPrintedAsInvokedEvenWithBlanks)
{
    const std::string name = "/opt/my tools/mirekast";
    expectRun(runProgram({name, "-h"}), helpText(name), "", 0);
    ChildResult setHelp = runProgram({name, "-hs"});
    expectRun(setHelp, setHelpText(name), "", 0);
    size_t examples = 0;
    for (size_t at = setHelp.out.find(name); at != std::string::npos;
         at = setHelp.out.find(name, at + 1)) {
        examples++;
    }
    EXPECT_EQ(examples, 5u);
}

TEST(HelpTexts, PercentSignsInProgramNameAndTextStayLiteral)
{
    ChildResult run = runProgram({"100%s%d", "-hs"});
    expectRun(run, setHelpText("100%s%d"), "", 0);
    EXPECT_NE(run.out.find("\"% Processor Time\" \"% User Time\"\n"), std::string::npos);
}

TEST(HelpTexts, HelpVersionActAtOnceIgnoringLaterArguments)
{
    expectRun(runProgram({"m", "-v", "-x", "-cw"}), "Mirekast: Mirekast version 1.0\n\n", "", 0);
    expectRun(runProgram({"m", "-a", "-r", "-h", "junk"}), helpText("m"), "", 0);
    expectRun(runProgram({"m", "-s", "{P", "-i", "a", "-c", "b}", "-hs", "{"}), setHelpText("m"),
              "", 0);
}

TEST(HelpTexts, UndefinedArgumentPrintsMessageThenHelpAndExitsThree)
{
    for (const char* argument : {"-H", "-A", "--h", "-f", "-dl", "x", "", "-cw5"}) {
        SCOPED_TRACE(argument);
        expectRun(runProgram({"mirekast", argument}), helpText("mirekast"),
                  std::string("Error: Undefined argument \"") + argument + "\"\n", 3);
    }
    // An earlier error wins: -x is reported before -v is seen.
    expectRun(runProgram({"m", "-x", "-v"}), helpText("m"), "Error: Undefined argument \"-x\"\n",
              3);
}

} // namespace
