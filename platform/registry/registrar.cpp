// Registration scripts: parsed whole first, then applied as one transaction,
// so that a script with an error writes nothing.
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "../text/code_page.h"
#include "quorvel/platform/registrar.h"
#include "quorvel/platform/registry.h"
#include "store.h"

namespace qv::registry {
namespace {

struct Value {
    DWORD type = REG_SZ;
    std::u16string text;
    DWORD number = 0;
};

struct Node {
    std::u16string name;
    bool no_remove = false;
    bool force_remove = false;
    std::optional<Value> default_value;
    std::vector<std::pair<std::u16string, Value>> values;
    std::vector<Node> children;
};

struct SyntaxError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

bool is_space(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n';
}

bool same_word(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char16_t c) {
            return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c;
        };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

// The script with every %NAME% replaced (%% stands for one percent sign), before
// it is parsed: so a value inserted with its quotes doubled reads back unchanged.
std::u16string replaced(std::u16string_view text, const QV_REGISTRAR_REPLACEMENT* replacements,
                        UINT count) {
    std::u16string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != u'%') {
            out.push_back(text[i]);
            continue;
        }
        const std::size_t end = text.find(u'%', i + 1);
        if (end == std::u16string_view::npos) throw SyntaxError("a '%' without its pair");
        const std::u16string_view name = text.substr(i + 1, end - i - 1);
        if (name.empty()) {
            out.push_back(u'%');
        } else {
            const QV_REGISTRAR_REPLACEMENT* found = nullptr;
            for (UINT k = 0; k < count && !found; ++k) {
                if (replacements[k].name && same_word(replacements[k].name, name))
                    found = &replacements[k];
            }
            if (!found) throw SyntaxError("an unknown replacement");
            if (found->value) out += found->value;
        }
        i = end;
    }
    return out;
}

class Parser {
  public:
    explicit Parser(std::u16string_view text) : s_(text) {}

    std::vector<Node> roots() {
        std::vector<Node> roots;
        while (skip_space()) {
            const std::u16string root = word();
            if (!same_word(root, u"HKCR") && !same_word(root, u"HKEY_CLASSES_ROOT"))
                throw SyntaxError("only HKCR is a root here");
            Node node;
            node.children = block();
            roots.push_back(std::move(node));
        }
        return roots;
    }

  private:
    bool skip_space() {
        while (at_ < s_.size() && is_space(s_[at_])) ++at_;
        return at_ < s_.size();
    }
    bool block_opens() const {
        return s_[at_] == u'{' &&
               (at_ + 1 == s_.size() || is_space(s_[at_ + 1]) || s_[at_ + 1] == u'}');
    }
    void expect(char16_t c) {
        if (!skip_space() || s_[at_] != c) throw SyntaxError("expected a brace or '='");
        ++at_;
    }

    std::vector<Node> block() {
        if (!skip_space() || !block_opens()) throw SyntaxError("expected '{'");
        ++at_;
        std::vector<Node> nodes;
        while (true) {
            if (!skip_space()) throw SyntaxError("'{' not closed");
            if (s_[at_] == u'}') {
                ++at_;
                return nodes;
            }
            key(nodes);
        }
    }

    void key(std::vector<Node>& siblings) {
        Node node;
        std::u16string name = word();
        if (same_word(name, u"val")) {
            if (!parent_for_values_) throw SyntaxError("a value outside a key");
            std::u16string value_name = word();
            expect(u'=');
            parent_for_values_->values.emplace_back(std::move(value_name), value());
            return;
        }
        while (true) {
            if (same_word(name, u"NoRemove")) {
                node.no_remove = true;
            } else if (same_word(name, u"ForceRemove")) {
                node.force_remove = true;
            } else {
                break;
            }
            name = word();
        }
        node.name = std::move(name);
        if (skip_space() && s_[at_] == u'=') {
            ++at_;
            node.default_value = value();
        }
        if (skip_space() && block_opens()) {
            Node* outer = parent_for_values_;
            parent_for_values_ = &node;
            node.children = block();
            parent_for_values_ = outer;
        }
        siblings.push_back(std::move(node));
    }

    Value value() {
        const std::u16string kind = word();
        Value v;
        const std::u16string text = quoted();
        if (same_word(kind, u"s")) {
            v.text = text;
        } else if (same_word(kind, u"d")) {
            v.type = REG_DWORD;
            try {
                v.number = static_cast<DWORD>(std::stoul(text::to_utf8(text), nullptr, 0));
            } catch (const std::exception&) {
                throw SyntaxError("a d value is a number");
            }
        } else {
            throw SyntaxError("a value is s or d");
        }
        return v;
    }

    // A quoted text ('' stands for one quote) or a bare word.
    std::u16string word() {
        if (!skip_space()) throw SyntaxError("the script ends too soon");
        if (s_[at_] == u'\'') return quoted();
        const bool braced = s_[at_] == u'{';
        const std::size_t start = at_;
        while (at_ < s_.size() && !is_space(s_[at_]) && s_[at_] != u'=' &&
               (braced || (s_[at_] != u'{' && s_[at_] != u'}')))
            ++at_;
        if (at_ == start) throw SyntaxError("expected a name");
        return std::u16string(s_.substr(start, at_ - start));
    }

    std::u16string quoted() {
        if (!skip_space() || s_[at_] != u'\'') throw SyntaxError("expected a quoted text");
        std::u16string raw;
        for (++at_;; ++at_) {
            if (at_ >= s_.size()) throw SyntaxError("a quoted text is not closed");
            if (s_[at_] == u'\'') {
                if (at_ + 1 < s_.size() && s_[at_ + 1] == u'\'') {
                    raw.push_back(u'\'');
                    ++at_;
                    continue;
                }
                ++at_;
                return raw;
            }
            raw.push_back(s_[at_]);
        }
    }

    std::u16string_view s_;
    std::size_t at_ = 0;
    Node* parent_for_values_ = nullptr;
};

LONG set(Store& store, KeyId key, std::u16string_view name, const Value& v) {
    if (v.type == REG_DWORD)
        return store.set_value(key, name, REG_DWORD, reinterpret_cast<const BYTE*>(&v.number),
                               sizeof v.number);
    return store.set_value(key, name, REG_SZ, reinterpret_cast<const BYTE*>(v.text.c_str()),
                           static_cast<DWORD>((v.text.size() + 1) * sizeof(char16_t)));
}

LONG write_node(Store& store, KeyId parent, const Node& node) {
    if (node.force_remove) {
        KeyId old = 0;
        const LONG found = store.lookup(parent, node.name, old);
        if (found == ERROR_SUCCESS) {
            if (LONG rc = store.delete_tree(old, false); rc != ERROR_SUCCESS) return rc;
        } else if (found != ERROR_FILE_NOT_FOUND) {
            return found;
        }
    }
    KeyId id = 0;
    bool created = false;
    if (LONG rc = store.create(parent, node.name, id, created); rc != ERROR_SUCCESS) return rc;
    if (node.default_value) {
        if (LONG rc = set(store, id, u"", *node.default_value); rc != ERROR_SUCCESS) return rc;
    }
    for (const auto& [name, value] : node.values) {
        if (LONG rc = set(store, id, name, value); rc != ERROR_SUCCESS) return rc;
    }
    for (const Node& child : node.children) {
        if (LONG rc = write_node(store, id, child); rc != ERROR_SUCCESS) return rc;
    }
    return ERROR_SUCCESS;
}

LONG remove_node(Store& store, KeyId parent, const Node& node) {
    KeyId id = 0;
    const LONG found = store.lookup(parent, node.name, id);
    if (found == ERROR_FILE_NOT_FOUND) return ERROR_SUCCESS;
    if (found != ERROR_SUCCESS) return found;
    for (const Node& child : node.children) {
        if (LONG rc = remove_node(store, id, child); rc != ERROR_SUCCESS) return rc;
    }
    if (node.no_remove) return ERROR_SUCCESS;
    bool any = false;
    if (LONG rc = store.has_children(id, any); rc != ERROR_SUCCESS || any) return rc;
    return store.delete_tree(id, false);
}

}  // namespace
}  // namespace qv::registry

HRESULT QvRegistrarRunScript(LPCOLESTR script, BOOL bRegister,
                             const QV_REGISTRAR_REPLACEMENT* replacements, UINT count) noexcept {
    using namespace qv::registry;
    if (!script || (count && !replacements)) return E_INVALIDARG;
    try {
        const std::u16string text = replaced(script, replacements, count);
        const std::vector<Node> roots = Parser(text).roots();
        Store& store = Store::get();
        Store::Scope scope(store, true);
        if (scope.status() != ERROR_SUCCESS) return hresult_of(scope.status());
        for (const Node& root : roots) {
            for (const Node& key : root.children) {
                const LONG rc =
                    bRegister ? write_node(store, kRoot, key) : remove_node(store, kRoot, key);
                if (rc != ERROR_SUCCESS) return hresult_of(rc);
            }
        }
        return hresult_of(scope.commit());
    } catch (const SyntaxError&) {
        return HRESULT_FROM_WIN32(ERROR_INVALID_DATA);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

HRESULT QvRegistrarRunResource(HMODULE hModule, UINT id, BOOL bRegister,
                               const QV_REGISTRAR_REPLACEMENT* replacements, UINT count) noexcept {
    HRSRC resource = FindResource(hModule, MAKEINTRESOURCE(id), u"REGISTRY");
    if (!resource) return HRESULT_FROM_WIN32(GetLastError());
    std::string_view bytes(static_cast<const char*>(LockResource(LoadResource(hModule, resource))),
                           SizeofResource(hModule, resource));
    if (bytes.starts_with("\xEF\xBB\xBF")) bytes.remove_prefix(3);
    try {
        const std::u16string script = qv::text::from_utf8(bytes);
        return QvRegistrarRunScript(script.c_str(), bRegister, replacements, count);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}
