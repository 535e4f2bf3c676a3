// Whole-program cases kept as data under tests/data/golden, one folder a case:
//   scenario  the scripted machine it runs on (support/scripted/scenarios.h)
//   args      the arguments after the program name, one a line
//   stdout    what the program writes on standard output, byte for byte
//   stderr    what it writes on standard error
//   exit      its exit code
// The program is invoked as "mirekast".  The Linux suite runs every case
// in-process against the scripted layer; scripts/windows-test runs the same
// folders against mirekast.exe under Wine with the stand-in pdh.dll.
#ifndef MIREKAST_TESTS_SUPPORT_GOLDEN_CASE_H
#define MIREKAST_TESTS_SUPPORT_GOLDEN_CASE_H

#include <string>
#include <vector>

struct GoldenCase {
    std::string name;
    std::string scenario;
    std::vector<std::string> args; // without the program name
    std::string out;
    std::string err;
    int exitCode = -1;
};

// Every case folder's name, sorted.
std::vector<std::string> goldenCaseNames();

// The case of that name; a case that cannot be read fails the calling test
// and comes back with an empty scenario.
GoldenCase goldenCase(const std::string& name);

#endif
