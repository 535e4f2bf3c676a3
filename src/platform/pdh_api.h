// The part of the Performance Data Helper interface that the program calls.
// On Windows these are the SDK's own declarations.  Elsewhere they are ours,
// with the SDK's names, signatures, types and status values, served by the
// layer the build links (ours over /proc on Linux, the scripted one in tests).
#ifndef MIREKAST_PLATFORM_PDH_API_H
#define MIREKAST_PLATFORM_PDH_API_H

#ifdef _WIN32

#include <windows.h>
#include <pdh.h>
#include <pdhmsg.h>

#else

#include <cstdint>

// The SDK's LONG and DWORD are 32 bits wide on Windows; keep them so here.
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

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif
#ifndef ERROR_SUCCESS
#define ERROR_SUCCESS 0L
#endif

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

// Formats (pdh.h).
#define PDH_FMT_RAW ((DWORD)0x00000010)
#define PDH_FMT_ANSI ((DWORD)0x00000020)
#define PDH_FMT_UNICODE ((DWORD)0x00000040)
#define PDH_FMT_LONG ((DWORD)0x00000100)
#define PDH_FMT_DOUBLE ((DWORD)0x00000200)
#define PDH_FMT_LARGE ((DWORD)0x00000400)
#define PDH_FMT_NOSCALE ((DWORD)0x00001000)
#define PDH_FMT_1000 ((DWORD)0x00002000)
#define PDH_FMT_NODATA ((DWORD)0x00004000)
#define PDH_FMT_NOCAP100 ((DWORD)0x00008000)

// Detail levels (winperf.h).
#define PERF_DETAIL_NOVICE 100
#define PERF_DETAIL_ADVANCED 200
#define PERF_DETAIL_EXPERT 300
#define PERF_DETAIL_WIZARD 400

// Status values (pdhmsg.h).
#define PDH_CSTATUS_VALID_DATA ((DWORD)0x00000000L)
#define PDH_CSTATUS_NEW_DATA ((DWORD)0x00000001L)
#define PDH_CSTATUS_NO_MACHINE ((DWORD)0x800007D0L)
#define PDH_CSTATUS_NO_INSTANCE ((DWORD)0x800007D1L)
#define PDH_MORE_DATA ((DWORD)0x800007D2L)
#define PDH_CSTATUS_ITEM_NOT_VALIDATED ((DWORD)0x800007D3L)
#define PDH_RETRY ((DWORD)0x800007D4L)
#define PDH_NO_DATA ((DWORD)0x800007D5L)
#define PDH_CALC_NEGATIVE_DENOMINATOR ((DWORD)0x800007D6L)
#define PDH_CALC_NEGATIVE_TIMEBASE ((DWORD)0x800007D7L)
#define PDH_CALC_NEGATIVE_VALUE ((DWORD)0x800007D8L)
#define PDH_DIALOG_CANCELLED ((DWORD)0x800007D9L)
#define PDH_END_OF_LOG_FILE ((DWORD)0x800007DAL)
#define PDH_CSTATUS_NO_OBJECT ((DWORD)0xC0000BB8L)
#define PDH_CSTATUS_NO_COUNTER ((DWORD)0xC0000BB9L)
#define PDH_CSTATUS_INVALID_DATA ((DWORD)0xC0000BBAL)
#define PDH_MEMORY_ALLOCATION_FAILURE ((DWORD)0xC0000BBBL)
#define PDH_INVALID_HANDLE ((DWORD)0xC0000BBCL)
#define PDH_INVALID_ARGUMENT ((DWORD)0xC0000BBDL)
#define PDH_FUNCTION_NOT_FOUND ((DWORD)0xC0000BBEL)
#define PDH_CSTATUS_NO_COUNTERNAME ((DWORD)0xC0000BBFL)
#define PDH_CSTATUS_BAD_COUNTERNAME ((DWORD)0xC0000BC0L)
#define PDH_INVALID_BUFFER ((DWORD)0xC0000BC1L)
#define PDH_INSUFFICIENT_BUFFER ((DWORD)0xC0000BC2L)
#define PDH_CANNOT_CONNECT_MACHINE ((DWORD)0xC0000BC3L)
#define PDH_INVALID_PATH ((DWORD)0xC0000BC4L)
#define PDH_INVALID_INSTANCE ((DWORD)0xC0000BC5L)
#define PDH_INVALID_DATA ((DWORD)0xC0000BC6L)
#define PDH_NO_DIALOG_DATA ((DWORD)0xC0000BC7L)
#define PDH_CANNOT_READ_NAME_STRINGS ((DWORD)0xC0000BC8L)

PDH_STATUS PdhEnumObjectsA(LPCSTR szDataSource, LPCSTR szMachineName, PZZSTR mszObjectList,
                           LPDWORD pcchBufferSize, DWORD dwDetailLevel, BOOL bRefresh);
PDH_STATUS PdhEnumObjectItemsA(LPCSTR szDataSource, LPCSTR szMachineName, LPCSTR szObjectName,
                               PZZSTR mszCounterList, LPDWORD pcchCounterListLength,
                               PZZSTR mszInstanceList, LPDWORD pcchInstanceListLength,
                               DWORD dwDetailLevel, DWORD dwFlags);
PDH_STATUS PdhOpenQueryA(LPCSTR szDataSource, DWORD_PTR dwUserData, PDH_HQUERY* phQuery);
PDH_STATUS PdhAddCounterA(PDH_HQUERY hQuery, LPCSTR szFullCounterPath, DWORD_PTR dwUserData,
                          PDH_HCOUNTER* phCounter);
PDH_STATUS PdhCollectQueryData(PDH_HQUERY hQuery);
PDH_STATUS PdhGetFormattedCounterValue(PDH_HCOUNTER hCounter, DWORD dwFormat, LPDWORD lpdwType,
                                       PPDH_FMT_COUNTERVALUE pValue);
PDH_STATUS PdhCloseQuery(PDH_HQUERY hQuery);

#endif

// Statuses are signed in the SDK and the constants unsigned; compare through this.
inline bool pdhStatusIs(PDH_STATUS status, DWORD expected)
{
    return (DWORD)status == expected;
}

#endif
