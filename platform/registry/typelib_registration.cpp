#include <algorithm>
#include <string>
#include <vector>

#include "quorvel/platform/codepage.h"
#include "quorvel/platform/com_ptr.h"
#include "quorvel/platform/typeinfo.h"
#include "registry_text.h"
#include "store.h"

namespace qv::registry {
namespace {

// The universal marshaler, named for interfaces that marshal through their type library.
constexpr char16_t kUniversalMarshaler[] = u"{00020424-0000-0000-C000-000000000046}";

const char16_t* platform_name(SYSKIND kind) {
    switch (kind) {
        case SYS_WIN16:
            return u"win16";
        case SYS_WIN32:
            return u"win32";
        case SYS_MAC:
            return u"mac";
        default:
            return u"win64";
    }
}

std::u16string version_text(WORD major, WORD minor) {
    return hex(major) + u"." + hex(minor);
}

std::u16string directory_of(std::u16string_view path) {
    const auto slash = path.find_last_of(u'/');
    return std::u16string(slash == std::u16string_view::npos ? u"" : path.substr(0, slash));
}

struct LibAttr {
    ITypeLib* lib;
    TLIBATTR* attr = nullptr;
    explicit LibAttr(ITypeLib* l) : lib(l) { lib->GetLibAttr(&attr); }
    ~LibAttr() {
        if (attr) lib->ReleaseTLibAttr(attr);
    }
};

// "M.m" in hex, or nothing.
std::optional<std::pair<WORD, WORD>> parse_version(std::u16string_view text) {
    const auto dot = text.find(u'.');
    if (dot == std::u16string_view::npos || dot == 0 || dot + 1 == text.size()) return std::nullopt;
    unsigned long parts[2];
    const std::u16string_view pieces[2] = {text.substr(0, dot), text.substr(dot + 1)};
    for (int i = 0; i < 2; ++i) {
        if (pieces[i].size() > 4) return std::nullopt;
        parts[i] = 0;
        for (char16_t c : pieces[i]) {
            const int digit = c >= u'0' && c <= u'9'   ? c - u'0'
                              : c >= u'a' && c <= u'f' ? c - u'a' + 10
                              : c >= u'A' && c <= u'F' ? c - u'A' + 10
                                                       : -1;
            if (digit < 0) return std::nullopt;
            parts[i] = parts[i] * 16 + static_cast<unsigned long>(digit);
        }
    }
    return std::make_pair(static_cast<WORD>(parts[0]), static_cast<WORD>(parts[1]));
}

bool is_hex_number(std::u16string_view text) {
    return !text.empty() && text.size() <= 8 &&
           std::all_of(text.begin(), text.end(), [](char16_t c) {
               return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') ||
                      (c >= u'A' && c <= u'F');
           });
}

LONG write_interface(ITypeLib* lib, UINT index, const std::u16string& libid,
                     const std::u16string& version) {
    qv::com_ptr<ITypeInfo> info;
    if (FAILED(lib->GetTypeInfo(index, info.put()))) return ERROR_SUCCESS;
    TYPEATTR* attr = nullptr;
    if (FAILED(info->GetTypeAttr(&attr))) return ERROR_SUCCESS;
    const bool marshaled =
        (attr->typekind == TKIND_INTERFACE || attr->typekind == TKIND_DISPATCH) &&
        (attr->wTypeFlags & (TYPEFLAG_FOLEAUTOMATION | TYPEFLAG_FDUAL));
    const std::u16string key = u"Interface\\" + guid_text(attr->guid);
    info->ReleaseTypeAttr(attr);
    if (!marshaled) return ERROR_SUCCESS;
    BSTR name = nullptr;
    lib->GetDocumentation(static_cast<INT>(index), &name, nullptr, nullptr, nullptr);
    const std::u16string interface_name = name ? name : u"";
    SysFreeString(name);
    LONG rc = write_string(key, nullptr, interface_name);
    if (rc == ERROR_SUCCESS)
        rc = write_string(key + u"\\ProxyStubClsid32", nullptr, kUniversalMarshaler);
    if (rc == ERROR_SUCCESS)
        rc = write_string(key + u"\\ProxyStubClsid", nullptr, kUniversalMarshaler);
    if (rc == ERROR_SUCCESS) rc = write_string(key + u"\\TypeLib", nullptr, libid);
    if (rc == ERROR_SUCCESS) rc = write_string(key + u"\\TypeLib", u"Version", version);
    return rc;
}

HRESULT registry_failure(LONG rc) {
    return rc == ERROR_ACCESS_DENIED ? E_ACCESSDENIED : TYPE_E_REGISTRYACCESS;
}

}  // namespace
}  // namespace qv::registry

HRESULT RegisterTypeLib(ITypeLib* ptlib, LPCOLESTR szFullPath, LPCOLESTR szHelpDir) noexcept {
    using namespace qv::registry;
    if (!ptlib || !szFullPath) return E_INVALIDARG;
    try {
        LibAttr attr(ptlib);
        if (!attr.attr) return E_OUTOFMEMORY;
        BSTR name = nullptr, doc = nullptr;
        ptlib->GetDocumentation(-1, &name, &doc, nullptr, nullptr);
        const std::u16string description = doc ? doc : (name ? name : u"");
        SysFreeString(name);
        SysFreeString(doc);

        const std::u16string libid = guid_text(attr.attr->guid);
        const std::u16string version =
            version_text(attr.attr->wMajorVerNum, attr.attr->wMinorVerNum);
        const std::u16string key = u"TypeLib\\" + libid + u"\\" + version;
        Store::Scope scope(Store::get(), true);
        if (scope.status() != ERROR_SUCCESS) return registry_failure(scope.status());
        LONG rc = write_string(key, nullptr, description);
        if (rc == ERROR_SUCCESS)
            rc = write_string(
                key + u"\\" + hex(attr.attr->lcid) + u"\\" + platform_name(attr.attr->syskind),
                nullptr, szFullPath);
        if (rc == ERROR_SUCCESS)
            rc = write_string(key + u"\\FLAGS", nullptr,
                              std::u16string(1, u'0' + (attr.attr->wLibFlags & 0xF)));
        if (rc == ERROR_SUCCESS)
            rc = write_string(key + u"\\HELPDIR", nullptr,
                              szHelpDir ? std::u16string(szHelpDir) : directory_of(szFullPath));
        for (UINT i = 0; rc == ERROR_SUCCESS && i < ptlib->GetTypeInfoCount(); ++i)
            rc = write_interface(ptlib, i, libid, version);
        if (rc == ERROR_SUCCESS) rc = scope.commit();
        return rc == ERROR_SUCCESS ? S_OK : registry_failure(rc);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

HRESULT UnRegisterTypeLib(REFGUID libID, WORD wVerMajor, WORD wVerMinor, LCID lcid,
                          SYSKIND syskind) noexcept {
    using namespace qv::registry;
    try {
        const std::u16string libid = guid_text(libID);
        const std::u16string version = version_text(wVerMajor, wVerMinor);
        const std::u16string library_key = u"TypeLib\\" + libid;
        const std::u16string version_key = library_key + u"\\" + version;
        const std::u16string locale_key = version_key + u"\\" + hex(lcid);
        Store::Scope scope(Store::get(), true);
        if (scope.status() != ERROR_SUCCESS) return registry_failure(scope.status());
        if (!read_string(version_key) && subkeys(version_key).empty()) return TYPE_E_REGISTRYACCESS;

        std::vector<std::u16string> doomed = {locale_key + u"\\" + platform_name(syskind)};
        if (subkeys(locale_key).size() <= 1) doomed.push_back(locale_key);
        const auto others = subkeys(version_key);
        const bool version_left = std::any_of(
            others.begin(), others.end(),
            [&](const std::u16string& k) { return is_hex_number(k) && k != hex(lcid); });
        if (!version_left) doomed.push_back(version_key);
        for (const std::u16string& name : subkeys(u"Interface")) {
            const std::u16string key = u"Interface\\" + name;
            if (read_string(key + u"\\TypeLib") == libid &&
                read_string(key + u"\\TypeLib", u"Version") == version)
                doomed.push_back(key);
        }
        for (const std::u16string& key : doomed) {
            const LONG rc = RegDeleteTree(HKEY_CLASSES_ROOT, key.c_str());
            if (rc != ERROR_SUCCESS && rc != ERROR_FILE_NOT_FOUND) return registry_failure(rc);
        }
        if (subkeys(library_key).empty()) RegDeleteTree(HKEY_CLASSES_ROOT, library_key.c_str());
        const LONG rc = scope.commit();
        return rc == ERROR_SUCCESS ? S_OK : registry_failure(rc);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

HRESULT LoadRegTypeLib(REFGUID rguid, WORD wVerMajor, WORD wVerMinor, LCID lcid,
                       ITypeLib** pptlib) noexcept {
    using namespace qv::registry;
    if (!pptlib) return E_INVALIDARG;
    *pptlib = nullptr;
    try {
        const std::u16string library_key = u"TypeLib\\" + guid_text(rguid);
        std::optional<std::pair<WORD, WORD>> best;
        std::u16string best_name;
        for (const std::u16string& name : subkeys(library_key)) {
            const auto v = parse_version(name);
            if (!v || v->first != wVerMajor || v->second < wVerMinor) continue;
            if (!best || v->second > best->second) best = v, best_name = name;
        }
        if (!best) return TYPE_E_LIBNOTREGISTERED;
        const std::u16string version_key = library_key + u"\\" + best_name;

        std::vector<std::u16string> locales = {hex(lcid), hex(PRIMARYLANGID(LANGIDFROMLCID(lcid))),
                                               u"0"};
        for (const std::u16string& name : subkeys(version_key)) {
            if (is_hex_number(name)) locales.push_back(name);
        }
        for (const std::u16string& locale : locales) {
            for (const char16_t* platform : {u"win64", u"win32"}) {
                const auto path = read_string(version_key + u"\\" + locale + u"\\" + platform);
                if (path) return LoadTypeLib(path->c_str(), pptlib);
            }
        }
        return TYPE_E_LIBNOTREGISTERED;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}
