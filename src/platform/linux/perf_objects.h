// The performance objects the Linux layer serves: their counters, how each
// counter is computed from raw samples, and the one function per object that
// reads a sample of all its instances.
#ifndef MIREKAST_PLATFORM_LINUX_PERF_OBJECTS_H
#define MIREKAST_PLATFORM_LINUX_PERF_OBJECTS_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// How a formatted value comes from the raw pairs (a, b) of the samples.
// Times are in nanoseconds; the sample time is the collection's.
enum CounterKind {
    KIND_VALUE,            // a × scale of the latest collection
    KIND_FRACTION,         // 100 × a / b of the latest collection, capped at 100
    KIND_RATE,             // Δa per second over the last two collections
    KIND_PERCENT,          // 100 × Δa / Δb (both times), capped at 100
    KIND_PERCENT_INVERSE,  // 100 − 100 × Δa / Δb
    KIND_ELAPSED,          // (a − b) nanoseconds, in seconds, of the latest collection
    KIND_AVERAGE_TIMER,    // Δa / Δb: a time per event, in seconds; 0 when Δb is 0
    KIND_AVERAGE_BULK,     // Δa / Δb: a count per event; 0 when Δb is 0
    KIND_QUEUE,            // Δa / Δ(sample time): time summed over requests, the mean in flight
    KIND_QUEUE_PERCENT     // 100 × Δa / Δb, b a time: the mean in flight × 100, capped at 100
};

// How an object's "_Total" instance is made from its other instances.
enum TotalRule {
    TOTAL_SUM,         // Σa and Σb
    TOTAL_SUM_SHARED,  // Σa, with the b that every instance shares (the sample time)
    TOTAL_NONE         // no meaningful total: the fetch fails
};

struct CounterDef {
    const char* name;
    CounterKind kind;
    unsigned sources;  // the object's own source bits this counter needs
    double scale;
    TotalRule total;
};

struct RawValue {
    int64_t a;
    int64_t b;
    bool valid;  // false: the figure could not be read
};

// Tells whether the instance behind one name and index is the same thing in
// two samples (a process is its pid and start time).
struct InstanceIdentity {
    uint64_t first;
    uint64_t second;
};

struct InstanceSample {
    std::string name;
    InstanceIdentity identity;
    bool isTotal;
    std::vector<RawValue> values;  // one per counter of the object
};

struct ObjectSample {
    int64_t timeNs;  // stamped before the object reads its sources
    std::vector<InstanceSample> instances;
};

// Above every object's own source bits: the enumeration asks for names only.
const unsigned SOURCE_NAMES_ONLY = 0x80000000u;

struct PerfObject {
    const char* name;
    const CounterDef* counters;
    int counterCount;
    bool hasInstances;
    // The "_Total" of the two-sample counters is carried over from collection
    // to collection by the deltas of the instances, so that processes that
    // come and go do not make it jump.
    bool totalFollowsChurn;
    // Reads the instances and, for the counters whose source bits are in
    // `sources`, their raw values.  With no bits it reads only what the
    // instance names and the values that come with them need; with
    // SOURCE_NAMES_ONLY, what the names need and nothing else (an object may
    // then leave out its values).  An object without instances appends one
    // instance.
    void (*sample)(unsigned sources, ObjectSample& sample);
};

extern const PerfObject processorObject;
extern const PerfObject processObject;
extern const PerfObject threadObject;
extern const PerfObject memoryObject;
extern const PerfObject systemObject;
extern const PerfObject physicalDiskObject;
extern const PerfObject logicalDiskObject;
extern const PerfObject networkInterfaceObject;
extern const PerfObject pagingFileObject;
extern const PerfObject processorInformationObject;
extern const PerfObject tcp4Object;
extern const PerfObject tcp6Object;
extern const PerfObject udp4Object;
extern const PerfObject udp6Object;
extern const PerfObject ip4Object;
extern const PerfObject ip6Object;
extern const PerfObject cacheObject;

// The table of objects, in enumeration order.
extern const PerfObject* const perfObjects[];
extern const int perfObjectCount;

const PerfObject* findPerfObject(const std::string& name);
// The counter's position in the object, or -1; the position `hint` is
// looked at first.
int findCounter(const PerfObject* object, const char* name, int hint = -1);

// Helpers for the objects' sample functions.
// An instance with a name and no values, as a listing (SOURCE_NAMES_ONLY)
// makes them: on a machine of many processes or threads the values' allocation
// was a good part of the listing.
InstanceSample& addNamedInstance(ObjectSample& sample, std::string name);
InstanceSample& addInstance(ObjectSample& sample, const PerfObject& object, std::string name,
                            InstanceIdentity identity);
void setValue(InstanceSample& instance, int counter, int64_t a, int64_t b = 0);
// Appends "_Total" by the counters' TotalRule, summing the instances whose
// value is valid; a total is invalid only when there are instances and none of
// them has a valid value.
void appendTotal(ObjectSample& sample, const PerfObject& object);

#endif
