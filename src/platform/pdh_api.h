// The part of the Performance Data Helper interface that the program calls.
// On Windows these are the SDK's own declarations.  Elsewhere they are ours
// (pdh_declarations.h, checked against the SDK in the Windows build), with the
// SDK's names, signatures, types and status values, served by the layer the
// build links (ours over /proc on Linux, the scripted one in tests).
#ifndef MIREKAST_PLATFORM_PDH_API_H
#define MIREKAST_PLATFORM_PDH_API_H

#ifdef _WIN32

#include <windows.h>
#include <pdh.h>
#include <pdhmsg.h>

#else

#include "platform/pdh_declarations.h"

using pdh_own::BOOL;
using pdh_own::BOOLEAN;
using pdh_own::DWORD;
using pdh_own::DWORD_PTR;
using pdh_own::FILETIME;
using pdh_own::HANDLE;
using pdh_own::LONG;
using pdh_own::LONGLONG;
using pdh_own::LPCSTR;
using pdh_own::LPCWSTR;
using pdh_own::LPDWORD;
using pdh_own::LPSTR;
using pdh_own::PDH_COUNTER_INFO_A;
using pdh_own::PDH_FMT_COUNTERVALUE;
using pdh_own::PDH_HCOUNTER;
using pdh_own::PDH_HQUERY;
using pdh_own::PDH_RAW_COUNTER;
using pdh_own::PDH_STATUS;
using pdh_own::PPDH_COUNTER_INFO_A;
using pdh_own::PPDH_FMT_COUNTERVALUE;
using pdh_own::PPDH_RAW_COUNTER;
using pdh_own::PZZSTR;

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

#define MIREKAST_DECLARE_PDH_CONSTANT(name, type, value) constexpr type name = value;
MIREKAST_PDH_CONSTANTS(MIREKAST_DECLARE_PDH_CONSTANT)
#undef MIREKAST_DECLARE_PDH_CONSTANT

// The calls, declared with their function types from pdh_declarations.h.
pdh_own::EnumObjectsACall PdhEnumObjectsA;
pdh_own::EnumObjectItemsACall PdhEnumObjectItemsA;
pdh_own::OpenQueryACall PdhOpenQueryA;
pdh_own::AddCounterACall PdhAddCounterA;
pdh_own::CollectQueryDataCall PdhCollectQueryData;
pdh_own::GetFormattedCounterValueCall PdhGetFormattedCounterValue;
pdh_own::CloseQueryCall PdhCloseQuery;
pdh_own::GetCounterInfoACall PdhGetCounterInfoA;
pdh_own::GetRawCounterValueCall PdhGetRawCounterValue;
pdh_own::GetCounterTimeBaseCall PdhGetCounterTimeBase;

#endif

// Statuses are signed in the SDK and the constants unsigned; compare through this.
inline bool pdhStatusIs(PDH_STATUS status, DWORD expected)
{
    return (DWORD)status == expected;
}

#endif
