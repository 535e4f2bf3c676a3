// Named machines for the scripted layer: one description of objects,
// instances, values and failures that serves the whole-program cases of
// tests/data/golden both here (the Linux test suite) and in the stand-in
// pdh.dll that the Windows build runs under Wine.
#ifndef MIREKAST_TESTS_SUPPORT_SCRIPTED_SCENARIOS_H
#define MIREKAST_TESTS_SUPPORT_SCRIPTED_SCENARIOS_H

#include <string>

namespace scripted {

// Resets the layer and scripts the machine called `name`.  Returns false, with
// the layer reset and empty, when there is no machine of that name.
bool loadScenario(const std::string& name);

} // namespace scripted

#endif
