// Our declarations of the PDH subset that the program calls, for systems
// without the Windows SDK: the SDK's types, call signatures and constants,
// spelled here with fixed-width types and values copied from pdh.h, pdhmsg.h,
// winperf.h and winerror.h.
//
// Nothing here is global: pdh_api.h brings it into the global namespace on
// systems other than Windows.  The Windows build includes this header only in
// platform/windows/sdk_check.cpp, which holds every type, signature and value
// against the SDK's own at compile time, so the two cannot drift apart.
#ifndef MIREKAST_PLATFORM_PDH_DECLARATIONS_H
#define MIREKAST_PLATFORM_PDH_DECLARATIONS_H

#include <cstdint>

namespace pdh_own {

// LONG and DWORD are 32 bits wide on Windows, whatever the system's long is.
typedef int32_t LONG;
typedef uint32_t DWORD;
typedef int64_t LONGLONG;
typedef int BOOL;
typedef unsigned char BOOLEAN;
typedef DWORD* LPDWORD;
typedef const char* LPCSTR;
typedef char* LPSTR;
typedef char* PZZSTR;
typedef const wchar_t* LPCWSTR;
typedef uintptr_t DWORD_PTR;
typedef void* HANDLE;

typedef LONG PDH_STATUS;
typedef HANDLE PDH_HQUERY;
typedef HANDLE PDH_HCOUNTER;

typedef struct _PDH_FMT_COUNTERVALUE {
    DWORD CStatus;
    union {
        LONG longValue;
        double doubleValue;
        LONGLONG largeValue;
        LPCSTR AnsiStringValue;
        LPCWSTR WideStringValue;
    };
} PDH_FMT_COUNTERVALUE, *PPDH_FMT_COUNTERVALUE;

typedef struct _FILETIME {
    DWORD dwLowDateTime;
    DWORD dwHighDateTime;
} FILETIME, *PFILETIME;

// One raw sample of a counter.  What FirstValue and SecondValue hold depends
// on the counter's type (winperf.h); the Linux and scripted layers fill them
// as Windows does for that type, with a time base of 10,000,000 per second:
// - raw counts and values (PERF_COUNTER_LARGE_RAWCOUNT): FirstValue;
// - rates (PERF_COUNTER_BULK_COUNT): FirstValue the count, SecondValue the
//   collection time in the time base;
// - times (PERF_100NSEC_TIMER, _INV, PERF_PRECISION_100NS_TIMER,
//   PERF_COUNTER_100NS_QUEUELEN_TYPE): FirstValue the time in 100 ns units,
//   SecondValue the elapsed time base in 100 ns units;
// - averages (PERF_AVERAGE_TIMER, PERF_AVERAGE_BULK): FirstValue the sum
//   (in time-base units for a timer), SecondValue the count;
// - fractions (PERF_RAW_FRACTION): FirstValue over SecondValue;
// - elapsed times (PERF_ELAPSED_TIME): FirstValue the start and SecondValue
//   the collection time, both in the time base since the Unix epoch.
// TimeStamp is the collection's wall-clock time as a FILETIME.
typedef struct _PDH_RAW_COUNTER {
    DWORD CStatus;
    FILETIME TimeStamp;
    LONGLONG FirstValue;
    LONGLONG SecondValue;
    DWORD MultiCount;
} PDH_RAW_COUNTER, *PPDH_RAW_COUNTER;

// What PdhGetCounterInfoA tells of a counter.  The strings point into the
// buffer after the record; the caller sizes the buffer with a first call.
typedef struct _PDH_COUNTER_INFO_A {
    DWORD dwLength;
    DWORD dwType;
    DWORD CVersion;
    DWORD CStatus;
    LONG lScale;
    LONG lDefaultScale;
    DWORD_PTR dwUserData;
    DWORD_PTR dwQueryUserData;
    LPSTR szFullPath;
    union {
        // The SDK's union also holds two path records laid out like this one;
        // this is the member the program reads.
        struct {
            LPSTR szMachineName;
            LPSTR szObjectName;
            LPSTR szInstanceName;
            LPSTR szParentInstance;
            DWORD dwInstanceIndex;
            LPSTR szCounterName;
        };
    };
    LPSTR szExplainText;
    DWORD DataBuffer[1];
} PDH_COUNTER_INFO_A, *PPDH_COUNTER_INFO_A;

// The calls, as function types; pdh_api.h declares PdhEnumObjectsA and the
// others with them.
typedef PDH_STATUS EnumObjectsACall(LPCSTR szDataSource, LPCSTR szMachineName,
                                    PZZSTR mszObjectList, LPDWORD pcchBufferSize,
                                    DWORD dwDetailLevel, BOOL bRefresh);
typedef PDH_STATUS EnumObjectItemsACall(LPCSTR szDataSource, LPCSTR szMachineName,
                                        LPCSTR szObjectName, PZZSTR mszCounterList,
                                        LPDWORD pcchCounterListLength, PZZSTR mszInstanceList,
                                        LPDWORD pcchInstanceListLength, DWORD dwDetailLevel,
                                        DWORD dwFlags);
typedef PDH_STATUS OpenQueryACall(LPCSTR szDataSource, DWORD_PTR dwUserData,
                                  PDH_HQUERY* phQuery);
typedef PDH_STATUS AddCounterACall(PDH_HQUERY hQuery, LPCSTR szFullCounterPath,
                                   DWORD_PTR dwUserData, PDH_HCOUNTER* phCounter);
typedef PDH_STATUS CollectQueryDataCall(PDH_HQUERY hQuery);
typedef PDH_STATUS GetFormattedCounterValueCall(PDH_HCOUNTER hCounter, DWORD dwFormat,
                                                LPDWORD lpdwType, PPDH_FMT_COUNTERVALUE pValue);
typedef PDH_STATUS CloseQueryCall(PDH_HQUERY hQuery);
typedef PDH_STATUS GetCounterInfoACall(PDH_HCOUNTER hCounter, BOOLEAN bRetrieveExplainText,
                                       LPDWORD pdwBufferSize, PPDH_COUNTER_INFO_A lpBuffer);
typedef PDH_STATUS GetRawCounterValueCall(PDH_HCOUNTER hCounter, LPDWORD lpdwType,
                                          PPDH_RAW_COUNTER pValue);
typedef PDH_STATUS GetCounterTimeBaseCall(PDH_HCOUNTER hCounter, LONGLONG* pTimeBase);

}  // namespace pdh_own

// The constants, one X(name, type, value) each.  A table rather than
// definitions, because on Windows the names are the SDK's macros: the table
// lets sdk_check.cpp compare each value without declaring the name.
#define MIREKAST_PDH_CONSTANTS(X)                         \
    X(ERROR_SUCCESS, LONG, 0)                             \
    /* Formats (pdh.h). */                                \
    X(PDH_FMT_RAW, DWORD, 0x00000010)                     \
    X(PDH_FMT_ANSI, DWORD, 0x00000020)                    \
    X(PDH_FMT_UNICODE, DWORD, 0x00000040)                 \
    X(PDH_FMT_LONG, DWORD, 0x00000100)                    \
    X(PDH_FMT_DOUBLE, DWORD, 0x00000200)                  \
    X(PDH_FMT_LARGE, DWORD, 0x00000400)                   \
    X(PDH_FMT_NOSCALE, DWORD, 0x00001000)                 \
    X(PDH_FMT_1000, DWORD, 0x00002000)                    \
    X(PDH_FMT_NODATA, DWORD, 0x00004000)                  \
    X(PDH_FMT_NOCAP100, DWORD, 0x00008000)                \
    /* Detail levels (winperf.h). */                      \
    X(PERF_DETAIL_NOVICE, int, 100)                       \
    X(PERF_DETAIL_ADVANCED, int, 200)                     \
    X(PERF_DETAIL_EXPERT, int, 300)                       \
    X(PERF_DETAIL_WIZARD, int, 400)                       \
    /* Counter types (winperf.h; ints, as there). */      \
    X(PERF_COUNTER_RAWCOUNT_HEX, int, 0x00000000)         \
    X(PERF_COUNTER_LARGE_RAWCOUNT_HEX, int, 0x00000100)   \
    X(PERF_COUNTER_RAWCOUNT, int, 0x00010000)             \
    X(PERF_COUNTER_LARGE_RAWCOUNT, int, 0x00010100)       \
    X(PERF_COUNTER_DELTA, int, 0x00400400)                \
    X(PERF_COUNTER_LARGE_DELTA, int, 0x00400500)          \
    X(PERF_COUNTER_COUNTER, int, 0x10410400)              \
    X(PERF_COUNTER_BULK_COUNT, int, 0x10410500)           \
    X(PERF_COUNTER_TIMER, int, 0x20410500)                \
    X(PERF_COUNTER_TIMER_INV, int, 0x21410500)            \
    X(PERF_100NSEC_TIMER, int, 0x20510500)                \
    X(PERF_100NSEC_TIMER_INV, int, 0x21510500)            \
    X(PERF_PRECISION_100NS_TIMER, int, 0x20570500)        \
    X(PERF_COUNTER_QUEUELEN_TYPE, int, 0x00450400)        \
    X(PERF_COUNTER_LARGE_QUEUELEN_TYPE, int, 0x00450500)  \
    X(PERF_COUNTER_100NS_QUEUELEN_TYPE, int, 0x00550500)  \
    X(PERF_RAW_FRACTION, int, 0x20020400)                 \
    X(PERF_LARGE_RAW_FRACTION, int, 0x20020500)           \
    X(PERF_SAMPLE_FRACTION, int, 0x20C20400)              \
    X(PERF_AVERAGE_TIMER, int, 0x30020400)                \
    X(PERF_AVERAGE_BULK, int, 0x40020500)                 \
    X(PERF_ELAPSED_TIME, int, 0x30240500)                 \
    X(PERF_RAW_BASE, int, 0x40030403)                     \
    X(PERF_LARGE_RAW_BASE, int, 0x40030500)               \
    X(PERF_AVERAGE_BASE, int, 0x40030402)                 \
    /* Status values (pdhmsg.h). */                       \
    X(PDH_CSTATUS_VALID_DATA, DWORD, 0x00000000)          \
    X(PDH_CSTATUS_NEW_DATA, DWORD, 0x00000001)            \
    X(PDH_CSTATUS_NO_MACHINE, DWORD, 0x800007D0)          \
    X(PDH_CSTATUS_NO_INSTANCE, DWORD, 0x800007D1)         \
    X(PDH_MORE_DATA, DWORD, 0x800007D2)                   \
    X(PDH_CSTATUS_ITEM_NOT_VALIDATED, DWORD, 0x800007D3)  \
    X(PDH_RETRY, DWORD, 0x800007D4)                       \
    X(PDH_NO_DATA, DWORD, 0x800007D5)                     \
    X(PDH_CALC_NEGATIVE_DENOMINATOR, DWORD, 0x800007D6)   \
    X(PDH_CALC_NEGATIVE_TIMEBASE, DWORD, 0x800007D7)      \
    X(PDH_CALC_NEGATIVE_VALUE, DWORD, 0x800007D8)         \
    X(PDH_DIALOG_CANCELLED, DWORD, 0x800007D9)            \
    X(PDH_END_OF_LOG_FILE, DWORD, 0x800007DA)             \
    X(PDH_CSTATUS_NO_OBJECT, DWORD, 0xC0000BB8)           \
    X(PDH_CSTATUS_NO_COUNTER, DWORD, 0xC0000BB9)          \
    X(PDH_CSTATUS_INVALID_DATA, DWORD, 0xC0000BBA)        \
    X(PDH_MEMORY_ALLOCATION_FAILURE, DWORD, 0xC0000BBB)   \
    X(PDH_INVALID_HANDLE, DWORD, 0xC0000BBC)              \
    X(PDH_INVALID_ARGUMENT, DWORD, 0xC0000BBD)            \
    X(PDH_FUNCTION_NOT_FOUND, DWORD, 0xC0000BBE)          \
    X(PDH_CSTATUS_NO_COUNTERNAME, DWORD, 0xC0000BBF)      \
    X(PDH_CSTATUS_BAD_COUNTERNAME, DWORD, 0xC0000BC0)     \
    X(PDH_INVALID_BUFFER, DWORD, 0xC0000BC1)              \
    X(PDH_INSUFFICIENT_BUFFER, DWORD, 0xC0000BC2)         \
    X(PDH_CANNOT_CONNECT_MACHINE, DWORD, 0xC0000BC3)      \
    X(PDH_INVALID_PATH, DWORD, 0xC0000BC4)                \
    X(PDH_INVALID_INSTANCE, DWORD, 0xC0000BC5)            \
    X(PDH_INVALID_DATA, DWORD, 0xC0000BC6)                \
    X(PDH_NO_DIALOG_DATA, DWORD, 0xC0000BC7)              \
    X(PDH_CANNOT_READ_NAME_STRINGS, DWORD, 0xC0000BC8)

#endif
