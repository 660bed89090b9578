#include "typelib_format.h"

#include <cstring>
#include <new>

namespace qv::typelib {
namespace {

constexpr char kMagic[4] = {'Q', 'V', 'T', 'L'};
constexpr std::uint16_t kVersion = 1;
constexpr std::uint32_t kNoText = 0xFFFFFFFFu;
constexpr std::size_t kHeaderBytes = 12;

class Writer {
  public:
    void bytes(const void* p, std::size_t n) {
        const auto* b = static_cast<const unsigned char*>(p);
        out_.insert(out_.end(), b, b + n);
    }
    template <class T>
    void value(T v) {
        bytes(&v, sizeof v);  // the platform is little-endian
    }
    void text(const OptionalText& t) {
        if (!t) return value(kNoText);
        value(static_cast<std::uint32_t>(t->size()));
        bytes(t->data(), t->size() * sizeof(char16_t));
    }
    void type(const TypeSpec& t) {
        value(t.base);
        value(t.pointers);
        value(std::uint8_t{0});
        value(t.ref);
    }
    void constant(const Constant& c) {
        value(c.vt);
        if (c.vt == VT_R8) {
            value(c.real);
        } else if (c.vt == VT_BSTR) {
            text(c.text);
        } else {
            value(c.integer);
        }
    }
    std::vector<unsigned char> take() { return std::move(out_); }

  private:
    std::vector<unsigned char> out_;
};

// Reads with every step bounded by what is left; the first failure sticks.
class Reader {
  public:
    explicit Reader(std::span<const unsigned char> in) : in_(in) {}

    bool ok() const { return ok_; }
    bool at_end() const { return at_ == in_.size(); }
    std::size_t left() const { return in_.size() - at_; }
    void fail() { ok_ = false; }

    template <class T>
    T value() {
        T v{};
        if (!ok_ || left() < sizeof v) {
            ok_ = false;
            return v;
        }
        std::memcpy(&v, in_.data() + at_, sizeof v);
        at_ += sizeof v;
        return v;
    }
    GUID guid() { return value<GUID>(); }
    OptionalText text() {
        const auto count = value<std::uint32_t>();
        if (!ok_ || count == kNoText) return std::nullopt;
        if (count > left() / sizeof(char16_t)) {
            ok_ = false;
            return std::nullopt;
        }
        std::u16string t(count, u'\0');
        std::memcpy(t.data(), in_.data() + at_, count * sizeof(char16_t));
        at_ += count * sizeof(char16_t);
        return t;
    }
    std::u16string name() {
        OptionalText t = text();
        if (!t) ok_ = false;
        return t ? std::move(*t) : std::u16string();
    }
    TypeSpec type() {
        TypeSpec t;
        t.base = value<VARTYPE>();
        t.pointers = value<std::uint8_t>();
        value<std::uint8_t>();
        t.ref = value<std::uint32_t>();
        return t;
    }
    Constant constant() {
        Constant c;
        c.vt = value<VARTYPE>();
        if (c.vt == VT_R8) {
            c.real = value<double>();
        } else if (c.vt == VT_BSTR) {
            c.text = name();
        } else {
            c.integer = value<std::int64_t>();
        }
        return c;
    }
    // A count of items each at least `min_bytes` long must fit in what is left.
    std::size_t count16(std::size_t min_bytes) {
        return bounded(value<std::uint16_t>(), min_bytes);
    }
    std::size_t count32(std::size_t min_bytes) {
        return bounded(value<std::uint32_t>(), min_bytes);
    }

  private:
    std::size_t bounded(std::size_t n, std::size_t min_bytes) {
        if (!ok_ || n > left() / min_bytes) {
            ok_ = false;
            return 0;
        }
        return n;
    }

    std::span<const unsigned char> in_;
    std::size_t at_ = 0;
    bool ok_ = true;
};

constexpr std::size_t kMinTypeSpec = 8, kMinText = 4, kMinParam = kMinText + kMinTypeSpec + 3;
constexpr std::size_t kMinFunc = 4 + 4 + 2 + kMinTypeSpec + 2 * kMinText + 4 + 2;
constexpr std::size_t kMinVar = 4 + 2 * kMinText + kMinTypeSpec + 2 + 6;
constexpr std::size_t kMinType = 4 + 16 + 2 * kMinText + 4 + 8 + 2 + 2;

void write_type(Writer& w, const Type& t) {
    w.value(static_cast<std::uint8_t>(t.kind));
    w.value(std::uint8_t{0});
    w.value(t.flags);
    w.value(t.guid);
    w.text(t.name);
    w.text(t.doc);
    w.value(t.help_context);
    w.value(t.major);
    w.value(t.minor);
    w.value(t.vtable_slots);
    w.value(static_cast<std::uint16_t>(t.impls.size()));
    for (const ImplType& i : t.impls) {
        w.value(i.ref);
        w.value(i.flags);
    }
    w.value(static_cast<std::uint16_t>(t.funcs.size()));
    for (const Func& f : t.funcs) {
        w.value(f.memid);
        w.value(static_cast<std::uint8_t>(f.invkind));
        w.value(std::uint8_t{0});
        w.value(f.flags);
        w.value(f.slot);
        w.type(f.result);
        w.text(f.name);
        w.text(f.doc);
        w.value(f.help_context);
        w.value(static_cast<std::uint16_t>(f.params.size()));
        for (const Param& p : f.params) {
            w.text(p.name);
            w.type(p.type);
            w.value(p.flags);
            w.value(static_cast<std::uint8_t>(p.default_value ? 1 : 0));
            if (p.default_value) w.constant(*p.default_value);
        }
    }
    w.value(static_cast<std::uint16_t>(t.vars.size()));
    for (const Var& v : t.vars) {
        w.value(v.memid);
        w.text(v.name);
        w.text(v.doc);
        w.type(v.type);
        w.value(v.flags);
        w.constant(v.value);
    }
}

bool valid_base(VARTYPE vt) {
    switch (vt) {
        case VT_I1:
        case VT_I2:
        case VT_I4:
        case VT_I8:
        case VT_UI1:
        case VT_UI2:
        case VT_UI4:
        case VT_UI8:
        case VT_INT:
        case VT_UINT:
        case VT_R4:
        case VT_R8:
        case VT_BOOL:
        case VT_BSTR:
        case VT_UNKNOWN:
        case VT_DISPATCH:
        case VT_VARIANT:
        case VT_ERROR:
        case VT_HRESULT:
        case VT_VOID:
        case VT_USERDEFINED:
            return true;
        default:
            return false;
    }
}

bool valid_ref(std::uint32_t ref, std::size_t type_count) {
    return ref & kBuiltinRef ? ref == kBuiltinIUnknown || ref == kBuiltinIDispatch
                             : ref < type_count;
}

bool valid_type_spec(const TypeSpec& t, std::size_t type_count) {
    if (!valid_base(t.base) || t.pointers > kMaxPointerDepth) return false;
    return t.base != VT_USERDEFINED || valid_ref(t.ref, type_count);
}

bool valid_constant(const Constant& c) {
    return c.vt == VT_I4 || c.vt == VT_BOOL || c.vt == VT_R8 || c.vt == VT_BSTR;
}

bool is_interface(TYPEKIND kind) {
    return kind == TKIND_INTERFACE || kind == TKIND_DISPATCH;
}

bool valid_invkind(INVOKEKIND k) {
    return k == INVOKE_FUNC || k == INVOKE_PROPERTYGET || k == INVOKE_PROPERTYPUT ||
           k == INVOKE_PROPERTYPUTREF;
}

// The cross-references of a whole library, checked once every type is read.
bool consistent(const Library& lib) {
    const std::size_t n = lib.types.size();
    for (const Type& t : lib.types) {
        if (t.kind < TKIND_ENUM || t.kind >= TKIND_MAX) return false;
        for (const ImplType& i : t.impls) {
            if (!valid_ref(i.ref, n)) return false;
            if (!(i.ref & kBuiltinRef) && !is_interface(lib.types[i.ref].kind)) return false;
        }
        if (is_interface(t.kind) && t.impls.size() > 1) return false;
        for (const Func& f : t.funcs) {
            if (!is_interface(t.kind) || !valid_invkind(f.invkind) || f.slot < 0 ||
                f.slot >= t.vtable_slots || !valid_type_spec(f.result, n) ||
                f.params.size() > kMaxParams)
                return false;
            for (const Param& p : f.params) {
                if (!valid_type_spec(p.type, n)) return false;
                if (p.default_value && !valid_constant(*p.default_value)) return false;
            }
        }
        for (const Var& v : t.vars) {
            if (!valid_type_spec(v.type, n) || !valid_constant(v.value)) return false;
        }
    }
    // Every chain of interface bases ends, within as many steps as there are types.
    for (const Type& t : lib.types) {
        const Type* at = &t;
        std::size_t steps = 0;
        while (is_interface(at->kind) && !at->impls.empty() && !(at->impls[0].ref & kBuiltinRef)) {
            if (++steps > n) return false;
            at = &lib.types[at->impls[0].ref];
        }
    }
    return true;
}

void read_type(Reader& r, Type& t) {
    t.kind = static_cast<TYPEKIND>(r.value<std::uint8_t>());
    r.value<std::uint8_t>();
    t.flags = r.value<WORD>();
    t.guid = r.guid();
    t.name = r.name();
    t.doc = r.text();
    t.help_context = r.value<DWORD>();
    t.major = r.value<WORD>();
    t.minor = r.value<WORD>();
    t.vtable_slots = r.value<WORD>();
    t.impls.resize(r.count16(8));
    for (ImplType& i : t.impls) {
        i.ref = r.value<std::uint32_t>();
        i.flags = r.value<INT>();
    }
    t.funcs.resize(r.count16(kMinFunc));
    for (Func& f : t.funcs) {
        f.memid = r.value<MEMBERID>();
        f.invkind = static_cast<INVOKEKIND>(r.value<std::uint8_t>());
        r.value<std::uint8_t>();
        f.flags = r.value<WORD>();
        f.slot = r.value<SHORT>();
        f.result = r.type();
        f.name = r.name();
        f.doc = r.text();
        f.help_context = r.value<DWORD>();
        f.params.resize(r.count16(kMinParam));
        for (Param& p : f.params) {
            p.name = r.text();
            p.type = r.type();
            p.flags = r.value<USHORT>();
            const auto has_default = r.value<std::uint8_t>();
            if (has_default > 1) r.fail();
            if (has_default == 1) p.default_value = r.constant();
        }
    }
    t.vars.resize(r.count16(kMinVar));
    for (Var& v : t.vars) {
        v.memid = r.value<MEMBERID>();
        v.name = r.name();
        v.doc = r.text();
        v.type = r.type();
        v.flags = r.value<WORD>();
        v.value = r.constant();
    }
}

}  // namespace

std::vector<unsigned char> serialize(const Library& lib) {
    Writer w;
    w.bytes(kMagic, sizeof kMagic);
    w.value(kVersion);
    w.value(std::uint16_t{0});
    w.value(std::uint32_t{0});  // the length, filled in below
    w.value(lib.guid);
    w.value(lib.lcid);
    w.value(static_cast<std::uint32_t>(lib.syskind));
    w.value(lib.major);
    w.value(lib.minor);
    w.value(lib.flags);
    w.text(lib.name);
    w.text(lib.doc);
    w.text(lib.help_file);
    w.value(lib.help_context);
    w.value(static_cast<std::uint32_t>(lib.types.size()));
    for (const Type& t : lib.types) write_type(w, t);
    std::vector<unsigned char> out = w.take();
    const auto length = static_cast<std::uint32_t>(out.size());
    std::memcpy(out.data() + 8, &length, sizeof length);
    return out;
}

HRESULT parse(std::span<const unsigned char> bytes, Library& lib) noexcept {
    if (bytes.size() < kHeaderBytes || std::memcmp(bytes.data(), kMagic, sizeof kMagic) != 0)
        return TYPE_E_CANTLOADLIBRARY;
    Reader r(bytes);
    r.value<std::uint32_t>();
    if (r.value<std::uint16_t>() != kVersion) return TYPE_E_CANTLOADLIBRARY;
    r.value<std::uint16_t>();
    if (r.value<std::uint32_t>() != bytes.size()) return TYPE_E_INVALIDSTATE;
    try {
        lib.guid = r.guid();
        lib.lcid = r.value<LCID>();
        lib.syskind = static_cast<SYSKIND>(r.value<std::uint32_t>());
        lib.major = r.value<WORD>();
        lib.minor = r.value<WORD>();
        lib.flags = r.value<WORD>();
        lib.name = r.name();
        lib.doc = r.text();
        lib.help_file = r.text();
        lib.help_context = r.value<DWORD>();
        lib.types.resize(r.count32(kMinType));
        for (Type& t : lib.types) {
            if (!r.ok()) break;
            read_type(r, t);
        }
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    if (!r.ok() || !r.at_end() || !consistent(lib)) return TYPE_E_INVALIDSTATE;
    return S_OK;
}

}  // namespace qv::typelib
