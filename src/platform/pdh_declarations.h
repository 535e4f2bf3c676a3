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
