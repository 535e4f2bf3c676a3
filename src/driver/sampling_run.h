// The second half of the program: register, then sample and print until done.
#ifndef MIREKAST_DRIVER_SAMPLING_RUN_H
#define MIREKAST_DRIVER_SAMPLING_RUN_H

#include "tree/node_list.h"

// Opens the query, registers every object (-a) or the sets, samples once,
// twice (-r1) or every second until a key (-r), printing each sample, then
// closes the query and releases the object names, `objectSlot` and everything
// it built.  Long options bound the passes (--count) and keep them on a fixed
// period (--interval).  Returns when the run is done; every failure ends the
// process, and so does an ending signal held during a --format run, by that
// signal, once the record being written is whole.
void runSampling(NodeList* setList, char** objectSlot);

#endif
