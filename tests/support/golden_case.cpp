#include "support/golden_case.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <dirent.h>
#include <fstream>
#include <sstream>

namespace {

std::string goldenFolder()
{
    return std::string(MIREKAST_TEST_DATA_DIR) + "/golden";
}

bool readFile(const std::string& path, std::string* text)
{
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        return false;
    }
    std::ostringstream contents;
    contents << file.rdbuf();
    *text = contents.str();
    return true;
}

} // namespace

std::vector<std::string> goldenCaseNames()
{
    std::vector<std::string> names;
    DIR* folder = opendir(goldenFolder().c_str());
    if (folder == nullptr) {
        return names;
    }
    while (struct dirent* entry = readdir(folder)) {
        if (entry->d_name[0] != '.') {
            names.push_back(entry->d_name);
        }
    }
    closedir(folder);
    std::sort(names.begin(), names.end());
    return names;
}

GoldenCase goldenCase(const std::string& name)
{
    GoldenCase result;
    result.name = name;
    std::string folder = goldenFolder() + "/" + name + "/";
    std::string scenario;
    std::string args;
    std::string exitCode;
    if (!readFile(folder + "scenario", &scenario) || !readFile(folder + "args", &args) ||
        !readFile(folder + "exit", &exitCode) || !readFile(folder + "stdout", &result.out) ||
        !readFile(folder + "stderr", &result.err)) {
        ADD_FAILURE() << "golden case " << name << " lacks one of its five files";
        return result;
    }
    std::istringstream lines(args);
    for (std::string line; std::getline(lines, line);) {
        result.args.push_back(line);
    }
    result.scenario = scenario.substr(0, scenario.find('\n'));
    result.exitCode = std::stoi(exitCode);
    return result;
}
