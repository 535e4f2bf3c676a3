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

constexpr bool formattedValuesAgree();

// Two types agree when they are the same, or are integers of the same size,
// signedness and constness, or pointers to types that agree, or both are the
// formatted value and agree member by member.  The SDK's DWORD is an unsigned
// long, ours a uint32_t: both are 32 bits on Windows.
template <typename Ours, typename Sdk>
constexpr bool agree()
{
    if constexpr (std::is_same_v<Ours, Sdk>) {
        return true;
    } else if constexpr (std::is_pointer_v<Ours> && std::is_pointer_v<Sdk>) {
        return agree<std::remove_pointer_t<Ours>, std::remove_pointer_t<Sdk>>();
    } else if constexpr (std::is_integral_v<Ours> && std::is_integral_v<Sdk>) {
        return sizeof(Ours) == sizeof(Sdk) && std::is_signed_v<Ours> == std::is_signed_v<Sdk> &&
               std::is_const_v<Ours> == std::is_const_v<Sdk>;
    } else if constexpr (std::is_same_v<std::remove_const_t<Ours>, pdh_own::PDH_FMT_COUNTERVALUE> &&
                         std::is_same_v<std::remove_const_t<Sdk>, ::PDH_FMT_COUNTERVALUE>) {
        return std::is_const_v<Ours> == std::is_const_v<Sdk> && formattedValuesAgree();
    } else {
        return false;
    }
}

// The same size and alignment, and every member of a type that agrees at the
// same offset.
#define MIREKAST_PDH_MEMBER_AGREES(member)                                               \
    &&agree<decltype(pdh_own::PDH_FMT_COUNTERVALUE::member),                             \
            decltype(::PDH_FMT_COUNTERVALUE::member)>() &&                               \
        offsetof(pdh_own::PDH_FMT_COUNTERVALUE, member) == offsetof(::PDH_FMT_COUNTERVALUE, member)
constexpr bool formattedValuesAgree()
{
    return sizeof(pdh_own::PDH_FMT_COUNTERVALUE) == sizeof(::PDH_FMT_COUNTERVALUE) &&
           alignof(pdh_own::PDH_FMT_COUNTERVALUE) == alignof(::PDH_FMT_COUNTERVALUE)
           MIREKAST_PDH_MEMBER_AGREES(CStatus) MIREKAST_PDH_MEMBER_AGREES(longValue)
           MIREKAST_PDH_MEMBER_AGREES(doubleValue) MIREKAST_PDH_MEMBER_AGREES(largeValue)
           MIREKAST_PDH_MEMBER_AGREES(AnsiStringValue) MIREKAST_PDH_MEMBER_AGREES(WideStringValue);
}
#undef MIREKAST_PDH_MEMBER_AGREES

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
#undef MIREKAST_CHECK_PDH_CALL
