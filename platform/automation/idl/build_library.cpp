#include <algorithm>
#include <map>
#include <stdexcept>

#include "../typelib_format.h"
#include "compile.h"
#include "quorvel/platform/codepage.h"

namespace qv::idl {
namespace {

using typelib::Constant;
using typelib::Func;
using typelib::Library;
using typelib::Param;
using typelib::Type;
using typelib::TypeSpec;

struct Failure : std::runtime_error {
    Failure(int l, const std::string& m) : std::runtime_error(m), line(l) {}
    int line;
};

std::u16string utf16(const std::string& s) {
    if (s.empty()) return {};
    const int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
    std::u16string out(static_cast<std::size_t>(n), u'\0');
    MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), out.data(), n);
    return out;
}

GUID guid_of(const Attribute& a) {
    if (a.args.size() != 1) throw Failure(a.line, "uuid() takes one GUID");
    const std::u16string braced = u"{" + utf16(a.args[0]) + u"}";
    GUID g;
    if (FAILED(IIDFromString(braced.c_str(), &g)))
        throw Failure(a.line, "'" + a.args[0] + "' is not a GUID");
    return g;
}

std::int64_t number_of(const std::string& text, int line) {
    try {
        std::size_t used = 0;
        const std::int64_t v = std::stoll(text, &used, 0);
        if (used == text.size()) return v;
    } catch (const std::exception&) {
    }
    throw Failure(line, "'" + text + "' is not a number");
}

typelib::OptionalText help_of(const Attributes& attrs) {
    const Attribute* a = find(attrs, "helpstring");
    if (!a) return std::nullopt;
    return utf16(a->args.empty() ? "" : a->args[0]);
}

DWORD help_context_of(const Attributes& attrs) {
    const Attribute* a = find(attrs, "helpcontext");
    return a && !a->args.empty() ? static_cast<DWORD>(number_of(a->args[0], a->line)) : 0;
}

void version_of(const Attributes& attrs, WORD& major, WORD& minor) {
    const Attribute* a = find(attrs, "version");
    if (!a || a->args.empty()) return;
    const std::string& v = a->args[0];
    const auto dot = v.find('.');
    major = static_cast<WORD>(number_of(v.substr(0, dot), a->line));
    minor = dot == std::string::npos ? 0 : static_cast<WORD>(number_of(v.substr(dot + 1), a->line));
}

struct ScalarName {
    const char* name;
    VARTYPE vt;
};
constexpr ScalarName kScalars[] = {
    {"long", VT_I4},
    {"int", VT_INT},
    {"short", VT_I2},
    {"char", VT_I1},
    {"double", VT_R8},
    {"float", VT_R4},
    {"BSTR", VT_BSTR},
    {"VARIANT_BOOL", VT_BOOL},
    {"VARIANT", VT_VARIANT},
    {"HRESULT", VT_HRESULT},
    {"SCODE", VT_ERROR},
    {"void", VT_VOID},
    {"unsigned long", VT_UI4},
    {"ULONG", VT_UI4},
    {"unsigned short", VT_UI2},
    {"unsigned char", VT_UI1},
    {"BYTE", VT_UI1},
    {"unsigned int", VT_UINT},
    {"IUnknown", VT_UNKNOWN},
    {"IDispatch", VT_DISPATCH},
};

class Builder {
  public:
    explicit Builder(const File& f) : file_(f) {}

    Library build() {
        if (!file_.library) throw Failure(1, "no library block");
        const LibraryDecl& decl = *file_.library;
        Library lib;
        const Attribute* uuid = find(decl.attrs, "uuid");
        if (!uuid) throw Failure(decl.line, "the library has no uuid");
        lib.guid = guid_of(*uuid);
        lib.name = utf16(decl.name);
        lib.doc = help_of(decl.attrs);
        lib.help_context = help_context_of(decl.attrs);
        if (const Attribute* lcid = find(decl.attrs, "lcid"); lcid && !lcid->args.empty())
            lib.lcid = static_cast<LCID>(number_of(lcid->args[0], lcid->line));
        version_of(decl.attrs, lib.major, lib.minor);
        if (find(decl.attrs, "restricted")) lib.flags |= LIBFLAG_FRESTRICTED;
        if (find(decl.attrs, "hidden")) lib.flags |= LIBFLAG_FHIDDEN;

        for (const std::string& name : decl.order) index_of(name, decl.line);
        // Types referred to but not named by the library block follow in the
        // order they are first referred to; building one may add more.
        for (std::size_t i = 0; i < order_.size(); ++i) {
            lib.types.push_back(Type{});
            build_type(order_[i], lib, i);
        }
        return lib;
    }

  private:
    // The library index of a declared type, giving it one on first mention.
    std::uint32_t index_of(const std::string& name, int line) {
        if (auto it = index_.find(name); it != index_.end()) return it->second;
        if (!interface_named(name) && !enum_named(name) && !coclass_named(name))
            throw Failure(line, "'" + name + "' is not declared");
        const auto index = static_cast<std::uint32_t>(order_.size());
        order_.push_back(name);
        index_.emplace(name, index);
        return index;
    }

    const InterfaceDecl* interface_named(const std::string& name) const {
        for (const InterfaceDecl& i : file_.interfaces) {
            if (i.name == name && !i.base.empty()) return &i;
        }
        return nullptr;
    }
    const EnumDecl* enum_named(const std::string& name) const {
        for (const EnumDecl& e : file_.enums) {
            if (e.name == name) return &e;
        }
        return nullptr;
    }
    const CoclassDecl* coclass_named(const std::string& name) const {
        for (const CoclassDecl& c : file_.coclasses) {
            if (c.name == name) return &c;
        }
        return nullptr;
    }

    // IUnknown* is VT_UNKNOWN itself, as automation writes it; other
    // interfaces are a VT_PTR to their description.
    TypeSpec type_of(const TypeName& t, int line) {
        for (const ScalarName& s : kScalars) {
            if (t.base != s.name) continue;
            TypeSpec declared{s.vt, static_cast<std::uint8_t>(t.pointers), 0};
            if (s.vt == VT_UNKNOWN || s.vt == VT_DISPATCH) {
                if (t.pointers == 0) throw Failure(line, t.base + " is only passed by pointer");
                --declared.pointers;
            }
            return check_depth(declared, line);
        }
        if (interface_named(t.base) && t.pointers == 0)
            throw Failure(line, t.base + " is only passed by pointer");
        return check_depth(
            {VT_USERDEFINED, static_cast<std::uint8_t>(t.pointers), index_of(t.base, line)}, line);
    }
    static TypeSpec check_depth(TypeSpec declared, int line) {
        if (declared.pointers > typelib::kMaxPointerDepth)
            throw Failure(line, "too many levels of pointer");
        return declared;
    }

    // Where an interface's own members begin, and how deep it is below IUnknown.
    struct Lineage {
        WORD first_slot;
        int depth;
        std::uint32_t base_ref;
        bool dispatch;
    };
    Lineage lineage_of(const InterfaceDecl& i, int guard = 0) {
        if (guard > 64) throw Failure(i.line, "interface " + i.name + " derives from itself");
        if (i.base == "IUnknown") return {3, 1, typelib::kBuiltinIUnknown, false};
        if (i.base == "IDispatch") return {7, 2, typelib::kBuiltinIDispatch, true};
        const InterfaceDecl* base = interface_named(i.base);
        if (!base) throw Failure(i.line, "base interface '" + i.base + "' is not defined");
        const Lineage above = lineage_of(*base, guard + 1);
        return {static_cast<WORD>(above.first_slot + base->methods.size()), above.depth + 1,
                index_of(base->name, i.line), above.dispatch};
    }

    void build_type(const std::string& name, Library& lib, std::size_t index) {
        Type t;
        if (const InterfaceDecl* i = interface_named(name)) {
            build_interface(*i, t);
        } else if (const EnumDecl* e = enum_named(name)) {
            build_enum(*e, t);
        } else {
            build_coclass(*coclass_named(name), t);
        }
        lib.types[index] = std::move(t);
    }

    void common(const Attributes& attrs, const std::string& name, Type& t, int line,
                bool needs_uuid) {
        t.name = utf16(name);
        t.doc = help_of(attrs);
        t.help_context = help_context_of(attrs);
        version_of(attrs, t.major, t.minor);
        if (const Attribute* uuid = find(attrs, "uuid")) {
            t.guid = guid_of(*uuid);
        } else if (needs_uuid) {
            throw Failure(line, name + " has no uuid");
        }
        if (find(attrs, "hidden")) t.flags |= TYPEFLAG_FHIDDEN;
        if (find(attrs, "restricted")) t.flags |= TYPEFLAG_FRESTRICTED;
    }

    void build_interface(const InterfaceDecl& decl, Type& t) {
        common(decl.attrs, decl.name, t, decl.line, true);
        t.kind = TKIND_INTERFACE;
        const Lineage lineage = lineage_of(decl);
        if (find(decl.attrs, "dual")) t.flags |= TYPEFLAG_FDUAL | TYPEFLAG_FOLEAUTOMATION;
        if (find(decl.attrs, "oleautomation")) t.flags |= TYPEFLAG_FOLEAUTOMATION;
        if (find(decl.attrs, "nonextensible")) t.flags |= TYPEFLAG_FNONEXTENSIBLE;
        if (lineage.dispatch) t.flags |= TYPEFLAG_FDISPATCHABLE;
        t.impls.push_back({lineage.base_ref, 0});
        t.vtable_slots = static_cast<WORD>(lineage.first_slot + decl.methods.size());

        std::map<std::string, MEMBERID> property_ids;
        for (std::size_t k = 0; k < decl.methods.size(); ++k) {
            const MethodDecl& m = decl.methods[k];
            Func f;
            f.name = utf16(m.name);
            f.slot = static_cast<SHORT>(lineage.first_slot + k);
            f.doc = help_of(m.attrs);
            f.help_context = help_context_of(m.attrs);
            f.result = type_of(m.result, m.line);
            if (find(m.attrs, "propget")) f.invkind = INVOKE_PROPERTYGET;
            if (find(m.attrs, "propput")) f.invkind = INVOKE_PROPERTYPUT;
            if (find(m.attrs, "propputref")) f.invkind = INVOKE_PROPERTYPUTREF;
            if (find(m.attrs, "restricted")) f.flags |= FUNCFLAG_FRESTRICTED;
            if (find(m.attrs, "hidden")) f.flags |= FUNCFLAG_FHIDDEN;
            // A property's accessors share one id: the first one's.
            const auto numbered = static_cast<MEMBERID>(0x60000000 | (lineage.depth << 16) | k);
            if (const Attribute* id = find(m.attrs, "id"); id && !id->args.empty()) {
                f.memid = static_cast<MEMBERID>(number_of(id->args[0], id->line));
            } else if (f.invkind != INVOKE_FUNC && property_ids.count(m.name)) {
                f.memid = property_ids[m.name];
            } else {
                f.memid = numbered;
            }
            if (f.invkind != INVOKE_FUNC) property_ids.emplace(m.name, f.memid);
            if (m.params.size() > typelib::kMaxParams) throw Failure(m.line, "too many parameters");
            for (std::size_t p = 0; p < m.params.size(); ++p)
                f.params.push_back(param_of(m.params[p], p + 1 == m.params.size()));
            t.funcs.push_back(std::move(f));
        }
    }

    Param param_of(const ParamDecl& decl, bool last) {
        Param p;
        if (decl.name) p.name = utf16(*decl.name);
        p.type = type_of(decl.type, decl.line);
        if (find(decl.attrs, "in")) p.flags |= PARAMFLAG_FIN;
        if (find(decl.attrs, "out")) p.flags |= PARAMFLAG_FOUT;
        if (find(decl.attrs, "lcid")) p.flags |= PARAMFLAG_FLCID;
        if (find(decl.attrs, "optional")) p.flags |= PARAMFLAG_FOPT;
        if (find(decl.attrs, "retval")) {
            if (!last || !(p.flags & PARAMFLAG_FOUT) || p.type.pointers == 0)
                throw Failure(decl.line, "a retval parameter is the last one, [out] and a pointer");
            p.flags |= PARAMFLAG_FRETVAL;
        }
        if (const Attribute* d = find(decl.attrs, "defaultvalue")) {
            if (d->args.size() != 1) throw Failure(d->line, "defaultvalue() takes one value");
            p.flags |= PARAMFLAG_FHASDEFAULT;
            p.default_value = constant_for(p.type, d->args[0], d->line);
        }
        return p;
    }

    Constant constant_for(const TypeSpec& type, const std::string& text, int line) {
        Constant c;
        if (type.pointers == 0 && type.base == VT_BSTR) {
            c.vt = VT_BSTR;
            c.text = utf16(text);
        } else if (type.pointers == 0 && (type.base == VT_R8 || type.base == VT_R4)) {
            c.vt = VT_R8;
            try {
                c.real = std::stod(text);
            } catch (const std::exception&) {
                throw Failure(line, "'" + text + "' is not a number");
            }
        } else if (type.pointers == 0 && type.base == VT_BOOL) {
            c.vt = VT_BOOL;
            c.integer = text == "TRUE" || text == "VARIANT_TRUE" || text == "-1";
        } else {
            c.vt = VT_I4;
            const std::optional<std::int64_t> named = enum_value(text);
            c.integer = named ? *named : number_of(text, line);
        }
        return c;
    }

    std::optional<std::int64_t> enum_value(const std::string& name) const {
        for (const EnumDecl& e : file_.enums) {
            std::int64_t next = 0;
            for (const auto& [n, v] : e.values) {
                if (v) next = *v;
                if (n == name) return next;
                ++next;
            }
        }
        return std::nullopt;
    }

    void build_enum(const EnumDecl& decl, Type& t) {
        common(decl.attrs, decl.name, t, decl.line, false);
        t.kind = TKIND_ENUM;
        std::int64_t next = 0;
        for (std::size_t k = 0; k < decl.values.size(); ++k) {
            const auto& [name, value] = decl.values[k];
            if (value) next = *value;
            typelib::Var v;
            v.memid = static_cast<MEMBERID>(0x40000000 + k);
            v.name = utf16(name);
            v.type = TypeSpec{VT_I4};
            v.value.vt = VT_I4;
            v.value.integer = static_cast<std::int32_t>(next++);
            t.vars.push_back(std::move(v));
        }
    }

    void build_coclass(const CoclassDecl& decl, Type& t) {
        common(decl.attrs, decl.name, t, decl.line, true);
        t.kind = TKIND_COCLASS;
        if (!find(decl.attrs, "noncreatable")) t.flags |= TYPEFLAG_FCANCREATE;
        for (const auto& [attrs, name] : decl.interfaces) {
            INT flags = 0;
            if (find(attrs, "default")) flags |= IMPLTYPEFLAG_FDEFAULT;
            if (find(attrs, "source")) flags |= IMPLTYPEFLAG_FSOURCE;
            if (find(attrs, "restricted")) flags |= IMPLTYPEFLAG_FRESTRICTED;
            const std::uint32_t ref = name == "IUnknown"    ? typelib::kBuiltinIUnknown
                                      : name == "IDispatch" ? typelib::kBuiltinIDispatch
                                                            : index_of(name, decl.line);
            t.impls.push_back({ref, flags});
        }
    }

    const File& file_;
    std::vector<std::string> order_;
    std::map<std::string, std::uint32_t> index_;
};

}  // namespace

bool build_library(const File& file, Library& out, Error& error) {
    try {
        out = Builder(file).build();
        return true;
    } catch (const Failure& f) {
        error = {f.line, f.what()};
        return false;
    }
}

}  // namespace qv::idl
