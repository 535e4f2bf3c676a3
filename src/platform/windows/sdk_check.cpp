// Holds our declarations of the PDH subset, which other systems compile
// instead of the SDK's, against the SDK's own, at compile time: every
// constant's type and value, the size, signedness and layout of every type,
// and the shape of every call.  This file produces no code; when the two
// disagree the Windows build stops here.
#include <cstddef>
#include <type_traits>

#include "platform/pdh_api.h"
#include "platform/pdh_declarations.h"

namespace {

// The records that both sides declare, compared member by member below.
template <typename Ours, typename Sdk>
constexpr bool isRecordPair = false;
template <>
constexpr bool isRecordPair<pdh_own::PDH_FMT_COUNTERVALUE, ::PDH_FMT_COUNTERVALUE> = true;
template <>
constexpr bool isRecordPair<pdh_own::FILETIME, ::FILETIME> = true;
template <>
constexpr bool isRecordPair<pdh_own::PDH_RAW_COUNTER, ::PDH_RAW_COUNTER> = true;
template <>
constexpr bool isRecordPair<pdh_own::PDH_COUNTER_INFO_A, ::PDH_COUNTER_INFO_A> = true;

constexpr bool recordsAgree(const pdh_own::PDH_FMT_COUNTERVALUE*, const ::PDH_FMT_COUNTERVALUE*);
constexpr bool recordsAgree(const pdh_own::FILETIME*, const ::FILETIME*);
constexpr bool recordsAgree(const pdh_own::PDH_RAW_COUNTER*, const ::PDH_RAW_COUNTER*);
constexpr bool recordsAgree(const pdh_own::PDH_COUNTER_INFO_A*, const ::PDH_COUNTER_INFO_A*);

// Two types agree when they are the same, or are integers of the same size,
// signedness and constness, or pointers to (or arrays of as many) types that
// agree, or records that agree member by member.  The SDK's DWORD is an
// unsigned long, ours a uint32_t: both are 32 bits on Windows.
template <typename Ours, typename Sdk>
constexpr bool agree()
{
    if constexpr (std::is_same_v<Ours, Sdk>) {
        return true;
    } else if constexpr (std::is_pointer_v<Ours> && std::is_pointer_v<Sdk>) {
        return agree<std::remove_pointer_t<Ours>, std::remove_pointer_t<Sdk>>();
    } else if constexpr (std::is_array_v<Ours> && std::is_array_v<Sdk>) {
        return std::extent_v<Ours> == std::extent_v<Sdk> &&
               agree<std::remove_extent_t<Ours>, std::remove_extent_t<Sdk>>();
    } else if constexpr (std::is_integral_v<Ours> && std::is_integral_v<Sdk>) {
        return sizeof(Ours) == sizeof(Sdk) && std::is_signed_v<Ours> == std::is_signed_v<Sdk> &&
               std::is_const_v<Ours> == std::is_const_v<Sdk>;
    } else if constexpr (isRecordPair<std::remove_const_t<Ours>, std::remove_const_t<Sdk>>) {
        return std::is_const_v<Ours> == std::is_const_v<Sdk> &&
               recordsAgree(static_cast<const std::remove_const_t<Ours>*>(nullptr),
                            static_cast<const std::remove_const_t<Sdk>*>(nullptr));
    } else {
        return false;
    }
}

// The same size and alignment, and every member of a type that agrees at the
// same offset.
#define MIREKAST_PDH_RECORD_AGREES(record)                                               \
    sizeof(pdh_own::record) == sizeof(::record) && alignof(pdh_own::record) == alignof(::record)
#define MIREKAST_PDH_MEMBER_AGREES(record, member)                                       \
    &&agree<decltype(pdh_own::record::member), decltype(::record::member)>() &&          \
        offsetof(pdh_own::record, member) == offsetof(::record, member)
constexpr bool recordsAgree(const pdh_own::PDH_FMT_COUNTERVALUE*, const ::PDH_FMT_COUNTERVALUE*)
{
    return MIREKAST_PDH_RECORD_AGREES(PDH_FMT_COUNTERVALUE)
        MIREKAST_PDH_MEMBER_AGREES(PDH_FMT_COUNTERVALUE, CStatus)
        MIREKAST_PDH_MEMBER_AGREES(PDH_FMT_COUNTERVALUE, longValue)
        MIREKAST_PDH_MEMBER_AGREES(PDH_FMT_COUNTERVALUE, doubleValue)
        MIREKAST_PDH_MEMBER_AGREES(PDH_FMT_COUNTERVALUE, largeValue)
        MIREKAST_PDH_MEMBER_AGREES(PDH_FMT_COUNTERVALUE, AnsiStringValue)
        MIREKAST_PDH_MEMBER_AGREES(PDH_FMT_COUNTERVALUE, WideStringValue);
}
constexpr bool recordsAgree(const pdh_own::FILETIME*, const ::FILETIME*)
{
    return MIREKAST_PDH_RECORD_AGREES(FILETIME)
        MIREKAST_PDH_MEMBER_AGREES(FILETIME, dwLowDateTime)
        MIREKAST_PDH_MEMBER_AGREES(FILETIME, dwHighDateTime);
}
constexpr bool recordsAgree(const pdh_own::PDH_RAW_COUNTER*, const ::PDH_RAW_COUNTER*)
{
    return MIREKAST_PDH_RECORD_AGREES(PDH_RAW_COUNTER)
        MIREKAST_PDH_MEMBER_AGREES(PDH_RAW_COUNTER, CStatus)
        MIREKAST_PDH_MEMBER_AGREES(PDH_RAW_COUNTER, TimeStamp)
        MIREKAST_PDH_MEMBER_AGREES(PDH_RAW_COUNTER, FirstValue)
        MIREKAST_PDH_MEMBER_AGREES(PDH_RAW_COUNTER, SecondValue)
        MIREKAST_PDH_MEMBER_AGREES(PDH_RAW_COUNTER, MultiCount);
}
constexpr bool recordsAgree(const pdh_own::PDH_COUNTER_INFO_A*, const ::PDH_COUNTER_INFO_A*)
{
    return MIREKAST_PDH_RECORD_AGREES(PDH_COUNTER_INFO_A)
        MIREKAST_PDH_MEMBER_AGREES(PDH_COUNTER_INFO_A, dwLength)
        MIREKAST_PDH_MEMBER_AGREES(PDH_COUNTER_INFO_A, dwType)
        MIREKAST_PDH_MEMBER_AGREES(PDH_COUNTER_INFO_A, CVersion)
        MIREKAST_PDH_MEMBER_AGREES(PDH_COUNTER_INFO_A, CStatus)
        MIREKAST_PDH_MEMBER_AGREES(PDH_COUNTER_INFO_A, lScale)
        MIREKAST_PDH_MEMBER_AGREES(PDH_COUNTER_INFO_A, lDefaultScale)
        MIREKAST_PDH_MEMBER_AGREES(PDH_COUNTER_INFO_A, dwUserData)
        MIREKAST_PDH_MEMBER_AGREES(PDH_COUNTER_INFO_A, dwQueryUserData)
        MIREKAST_PDH_MEMBER_AGREES(PDH_COUNTER_INFO_A, szFullPath)
        MIREKAST_PDH_MEMBER_AGREES(PDH_COUNTER_INFO_A, szMachineName)
        MIREKAST_PDH_MEMBER_AGREES(PDH_COUNTER_INFO_A, szObjectName)
        MIREKAST_PDH_MEMBER_AGREES(PDH_COUNTER_INFO_A, szInstanceName)
        MIREKAST_PDH_MEMBER_AGREES(PDH_COUNTER_INFO_A, szParentInstance)
        MIREKAST_PDH_MEMBER_AGREES(PDH_COUNTER_INFO_A, dwInstanceIndex)
        MIREKAST_PDH_MEMBER_AGREES(PDH_COUNTER_INFO_A, szCounterName)
        MIREKAST_PDH_MEMBER_AGREES(PDH_COUNTER_INFO_A, szExplainText)
        MIREKAST_PDH_MEMBER_AGREES(PDH_COUNTER_INFO_A, DataBuffer);
}
#undef MIREKAST_PDH_MEMBER_AGREES
#undef MIREKAST_PDH_RECORD_AGREES

// Two calls agree when they return types that agree and take as many
// parameters, each agreeing with the one in its place.
template <typename OursReturn, typename... OursParameters, typename SdkReturn,
          typename... SdkParameters>
constexpr bool callsAgree(OursReturn (*)(OursParameters...), SdkReturn (*)(SdkParameters...))
{
    if constexpr (sizeof...(OursParameters) != sizeof...(SdkParameters)) {
        return false;
    } else {
        return agree<OursReturn, SdkReturn>() && (agree<OursParameters, SdkParameters>() && ...);
    }
}

}  // namespace

// The constants.  The table names each one; the name, expanded here, is the
// SDK's macro, and the table's type and value are what other systems declare.
#define MIREKAST_CHECK_PDH_CONSTANT(name, type, value)                             \
    static_assert(std::is_same_v<decltype(name), type>,                           \
                  #name ": the SDK gives it another type than " #type);           \
    static_assert(name == static_cast<type>(value), #name ": the SDK's value is not " #value);
MIREKAST_PDH_CONSTANTS(MIREKAST_CHECK_PDH_CONSTANT)
#undef MIREKAST_CHECK_PDH_CONSTANT

// The types.
#define MIREKAST_CHECK_PDH_TYPE(name) \
    static_assert(agree<pdh_own::name, ::name>(), #name ": ours and the SDK's differ");
MIREKAST_CHECK_PDH_TYPE(LONG)
MIREKAST_CHECK_PDH_TYPE(DWORD)
MIREKAST_CHECK_PDH_TYPE(LONGLONG)
MIREKAST_CHECK_PDH_TYPE(BOOL)
MIREKAST_CHECK_PDH_TYPE(BOOLEAN)
MIREKAST_CHECK_PDH_TYPE(FILETIME)
MIREKAST_CHECK_PDH_TYPE(PDH_RAW_COUNTER)
MIREKAST_CHECK_PDH_TYPE(PPDH_RAW_COUNTER)
MIREKAST_CHECK_PDH_TYPE(PDH_COUNTER_INFO_A)
MIREKAST_CHECK_PDH_TYPE(PPDH_COUNTER_INFO_A)
MIREKAST_CHECK_PDH_TYPE(LPDWORD)
MIREKAST_CHECK_PDH_TYPE(LPCSTR)
MIREKAST_CHECK_PDH_TYPE(LPSTR)
MIREKAST_CHECK_PDH_TYPE(PZZSTR)
MIREKAST_CHECK_PDH_TYPE(LPCWSTR)
MIREKAST_CHECK_PDH_TYPE(DWORD_PTR)
MIREKAST_CHECK_PDH_TYPE(HANDLE)
MIREKAST_CHECK_PDH_TYPE(PDH_STATUS)
MIREKAST_CHECK_PDH_TYPE(PDH_HQUERY)
MIREKAST_CHECK_PDH_TYPE(PDH_HCOUNTER)
MIREKAST_CHECK_PDH_TYPE(PDH_FMT_COUNTERVALUE)
MIREKAST_CHECK_PDH_TYPE(PPDH_FMT_COUNTERVALUE)
#undef MIREKAST_CHECK_PDH_TYPE

// The calls.
#define MIREKAST_CHECK_PDH_CALL(call, type)                                        \
    static_assert(callsAgree(static_cast<pdh_own::type*>(nullptr), &::call),       \
                  #call ": our declaration and the SDK's differ");
MIREKAST_CHECK_PDH_CALL(PdhEnumObjectsA, EnumObjectsACall)
MIREKAST_CHECK_PDH_CALL(PdhEnumObjectItemsA, EnumObjectItemsACall)
MIREKAST_CHECK_PDH_CALL(PdhOpenQueryA, OpenQueryACall)
MIREKAST_CHECK_PDH_CALL(PdhAddCounterA, AddCounterACall)
MIREKAST_CHECK_PDH_CALL(PdhCollectQueryData, CollectQueryDataCall)
MIREKAST_CHECK_PDH_CALL(PdhGetFormattedCounterValue, GetFormattedCounterValueCall)
MIREKAST_CHECK_PDH_CALL(PdhCloseQuery, CloseQueryCall)
MIREKAST_CHECK_PDH_CALL(PdhGetCounterInfoA, GetCounterInfoACall)
MIREKAST_CHECK_PDH_CALL(PdhGetRawCounterValue, GetRawCounterValueCall)
MIREKAST_CHECK_PDH_CALL(PdhGetCounterTimeBase, GetCounterTimeBaseCall)
#undef MIREKAST_CHECK_PDH_CALL
