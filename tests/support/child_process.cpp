#include "support/child_process.h"

#include <cstdlib>

#include "cli/long_options.h"
#include "cli/run_settings.h"
#include "driver/program.h"

ChildResult runInChild(const std::function<int()>& body)
{
    return runForked([&body] {
        runSettings = RunSettings{INITIAL_SCREEN_WIDTH, INITIAL_COLUMN_WIDTH, 0};
        longOptions = LongOptionSettings{0, DEFAULT_INTERVAL_MILLIS, FORMAT_TEXT, false};
        exit(body());
    });
}

ChildResult runProgram(const std::vector<std::string>& args)
{
    return runInChild([&args] {
        std::vector<std::string> copy = args;
        std::vector<char*> argv = argumentVector(copy);
        return programMain(static_cast<int>(args.size()), argv.data());
    });
}
