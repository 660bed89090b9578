// A type library in memory: what the compiler builds, the file format stores,
// and ITypeLib/ITypeInfo serve.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "quorvel/platform/typeinfo.h"

namespace qv::typelib {

// A reference to a type description: an index into the same library, or, with
// the high bit set, one of the platform's built-in interfaces.
inline constexpr std::uint32_t kBuiltinRef = 0x80000000u;
inline constexpr std::uint32_t kBuiltinIUnknown = kBuiltinRef | 0;
inline constexpr std::uint32_t kBuiltinIDispatch = kBuiltinRef | 1;

inline constexpr int kMaxPointerDepth = 3;

// A type as members use it: a base type behind `pointers` levels of VT_PTR.
// A VT_USERDEFINED base names its description through `ref`.
struct TypeSpec {
    VARTYPE base = VT_EMPTY;
    std::uint8_t pointers = 0;
    std::uint32_t ref = 0;

    bool operator==(const TypeSpec&) const = default;
};

// A constant: an enumeration value or a parameter's default.
struct Constant {
    VARTYPE vt = VT_EMPTY;  // VT_I4, VT_R8, VT_BOOL or VT_BSTR
    std::int64_t integer = 0;
    double real = 0;
    std::u16string text;

    bool operator==(const Constant&) const = default;
};

using OptionalText = std::optional<std::u16string>;

struct Param {
    OptionalText name;  // a put's new value may carry none
    TypeSpec type;
    USHORT flags = 0;
    std::optional<Constant> default_value;
};

struct Func {
    MEMBERID memid = 0;
    INVOKEKIND invkind = INVOKE_FUNC;
    WORD flags = 0;
    SHORT slot = 0;  // vtable slot, counting QueryInterface as 0
    TypeSpec result{VT_HRESULT};
    std::u16string name;
    OptionalText doc;
    DWORD help_context = 0;
    std::vector<Param> params;
};

struct Var {
    MEMBERID memid = 0;
    std::u16string name;
    OptionalText doc;
    TypeSpec type{VT_I4};
    WORD flags = 0;
    Constant value;
};

struct ImplType {
    std::uint32_t ref = 0;
    INT flags = 0;
};

struct Type {
    TYPEKIND kind = TKIND_INTERFACE;
    WORD flags = 0;
    GUID guid = GUID_NULL;
    std::u16string name;
    OptionalText doc;
    DWORD help_context = 0;
    WORD major = 0, minor = 0;
    WORD vtable_slots = 0;  // interfaces: every slot, the bases' included
    std::vector<ImplType> impls;
    std::vector<Func> funcs;
    std::vector<Var> vars;
};

struct Library {
    GUID guid = GUID_NULL;
    LCID lcid = 0;
    SYSKIND syskind = SYS_WIN64;
    WORD major = 0, minor = 0, flags = 0;
    std::u16string name;
    OptionalText doc;
    OptionalText help_file;
    DWORD help_context = 0;
    std::vector<Type> types;
};

// The interfaces every library may refer to without holding them.
const Library& builtin_library();

}  // namespace qv::typelib
