// What the two halves of the scripted layer share: the event record and the
// reset of the console's script.
#ifndef MIREKAST_TESTS_SUPPORT_SCRIPTED_SCRIPTED_INTERNAL_H
#define MIREKAST_TESTS_SUPPORT_SCRIPTED_SCRIPTED_INTERNAL_H

#include <string>

namespace scripted {
namespace internal {

void recordEvent(const std::string& event);
void resetConsoleScript();
void resetStampScript();

} // namespace internal
} // namespace scripted

#endif
