// Reads interfaces (with base, attributes and members), enumerations, coclasses
// and the library block. Preprocessor lines, import statements and
// importlib() are read and passed over.
#include <cctype>
#include <stdexcept>

#include "syntax.h"

namespace qv::idl {

const Attribute* find(const Attributes& attrs, const std::string& name) {
    for (const Attribute& a : attrs) {
        if (a.name == name) return &a;
    }
    return nullptr;
}

namespace {

enum class Kind { Identifier, Number, String, Punct, End };

struct Token {
    Kind kind;
    std::string text;
    int line;
};

struct Failure : std::runtime_error {
    Failure(int l, const std::string& m) : std::runtime_error(m), line(l) {}
    int line;
};

std::vector<Token> tokenize(const std::string& s) {
    std::vector<Token> tokens;
    int line = 1;
    std::size_t i = 0;
    auto at_line_start = [&](std::size_t p) {
        while (p > 0 && (s[p - 1] == ' ' || s[p - 1] == '\t')) --p;
        return p == 0 || s[p - 1] == '\n';
    };
    while (i < s.size()) {
        const char c = s[i];
        if (c == '\n') {
            ++line, ++i;
        } else if (std::isspace(static_cast<unsigned char>(c))) {
            ++i;
        } else if (c == '#' && at_line_start(i)) {
            while (i < s.size() && s[i] != '\n') ++i;
        } else if (s.compare(i, 2, "//") == 0) {
            while (i < s.size() && s[i] != '\n') ++i;
        } else if (s.compare(i, 2, "/*") == 0) {
            const std::size_t end = s.find("*/", i + 2);
            if (end == std::string::npos) throw Failure(line, "comment not closed");
            for (std::size_t k = i; k < end; ++k) line += s[k] == '\n';
            i = end + 2;
        } else if (c == '"') {
            std::string text;
            ++i;
            while (i < s.size() && s[i] != '"') {
                if (s[i] == '\n') throw Failure(line, "string not closed on its line");
                if (s[i] == '\\' && i + 1 < s.size()) {
                    const char e = s[++i];
                    text.push_back(e == 'n' ? '\n' : e == 't' ? '\t' : e);
                } else {
                    text.push_back(s[i]);
                }
                ++i;
            }
            if (i >= s.size()) throw Failure(line, "string not closed");
            ++i;
            tokens.push_back({Kind::String, text, line});
        } else if (std::isalpha(static_cast<unsigned char>(c)) || c == '_') {
            const std::size_t start = i;
            while (i < s.size() && (std::isalnum(static_cast<unsigned char>(s[i])) || s[i] == '_'))
                ++i;
            tokens.push_back({Kind::Identifier, s.substr(start, i - start), line});
        } else if (std::isdigit(static_cast<unsigned char>(c)) ||
                   (c == '-' && i + 1 < s.size() &&
                    std::isdigit(static_cast<unsigned char>(s[i + 1])))) {
            const std::size_t start = i++;
            // Numbers, hex numbers and the dotted parts of GUIDs and versions.
            while (i < s.size() &&
                   (std::isalnum(static_cast<unsigned char>(s[i])) || s[i] == '.' ||
                    (s[i] == '-' && std::isxdigit(static_cast<unsigned char>(s[i + 1])))))
                ++i;
            tokens.push_back({Kind::Number, s.substr(start, i - start), line});
        } else {
            tokens.push_back({Kind::Punct, std::string(1, c), line});
            ++i;
        }
    }
    tokens.push_back({Kind::End, "", line});
    return tokens;
}

class Parser {
  public:
    explicit Parser(std::vector<Token> tokens) : t_(std::move(tokens)) {}

    File file() {
        File f;
        while (peek().kind != Kind::End) top_level(f, nullptr);
        return f;
    }

  private:
    const Token& peek(std::size_t ahead = 0) const {
        return t_[std::min(at_ + ahead, t_.size() - 1)];
    }
    const Token& next() {
        const Token& tok = peek();
        if (at_ < t_.size() - 1) ++at_;
        return tok;
    }
    bool accept(const std::string& text) {
        if (peek().kind == Kind::End || peek().text != text || peek().kind == Kind::String)
            return false;
        ++at_;
        return true;
    }
    void expect(const std::string& text) {
        if (!accept(text)) fail("expected '" + text + "' but found '" + peek().text + "'");
    }
    [[noreturn]] void fail(const std::string& message) const {
        throw Failure(peek().line, message);
    }
    std::string identifier() {
        if (peek().kind != Kind::Identifier)
            fail("expected a name but found '" + peek().text + "'");
        return next().text;
    }

    // Everything between balanced parentheses, as tokens separated by commas.
    std::vector<std::string> arguments() {
        std::vector<std::string> args;
        std::string current;
        int depth = 1;
        while (true) {
            const Token& tok = next();
            if (tok.kind == Kind::End) fail("unbalanced parentheses");
            if (tok.kind == Kind::Punct && tok.text == "(") ++depth;
            if (tok.kind == Kind::Punct && tok.text == ")" && --depth == 0) break;
            if (tok.kind == Kind::Punct && tok.text == "," && depth == 1) {
                args.push_back(current);
                current.clear();
                continue;
            }
            current += tok.text;
        }
        if (!current.empty() || !args.empty()) args.push_back(current);
        return args;
    }

    Attributes attributes() {
        Attributes attrs;
        if (!accept("[")) return attrs;
        while (true) {
            Attribute a;
            a.line = peek().line;
            a.name = identifier();
            if (accept("(")) a.args = arguments();
            attrs.push_back(std::move(a));
            if (accept("]")) return attrs;
            expect(",");
        }
    }

    TypeName type_name() {
        TypeName t;
        accept("const");
        t.base = identifier();
        if (t.base == "unsigned") t.base += " " + identifier();
        while (accept("*")) ++t.pointers;
        return t;
    }

    void top_level(File& f, LibraryDecl* library) {
        if (accept(";")) return;
        if (peek().text == "import" || peek().text == "importlib") {
            next();
            if (accept("(")) arguments();
            while (peek().kind == Kind::String || peek().text == ",") next();
            expect(";");
            return;
        }
        if (peek().text == "cpp_quote") {
            next();
            expect("(");
            arguments();
            return;
        }
        Attributes attrs = attributes();
        const int line = peek().line;
        const std::string keyword = identifier();
        if (keyword == "interface") {
            interface_decl(f, library, std::move(attrs), line);
        } else if (keyword == "typedef") {
            Attributes more = attributes();
            attrs.insert(attrs.end(), more.begin(), more.end());
            enum_decl(f, library, std::move(attrs), line);
        } else if (keyword == "coclass") {
            coclass_decl(f, library, std::move(attrs), line);
        } else if (keyword == "library") {
            if (library) fail("a library inside a library");
            if (f.library) fail("a second library");
            LibraryDecl lib{std::move(attrs), identifier(), {}, line};
            expect("{");
            while (!accept("}")) {
                if (peek().kind == Kind::End) fail("library block not closed");
                top_level(f, &lib);
            }
            accept(";");
            f.library = std::move(lib);
        } else {
            throw Failure(line, "unexpected '" + keyword + "'");
        }
    }

    void interface_decl(File& f, LibraryDecl* library, Attributes attrs, int line) {
        InterfaceDecl i{std::move(attrs), identifier(), "", {}, line};
        if (library) library->order.push_back(i.name);
        if (accept(";")) return;  // a reference to an interface defined elsewhere
        expect(":");
        i.base = identifier();
        expect("{");
        while (!accept("}")) {
            MethodDecl m;
            m.attrs = attributes();
            m.line = peek().line;
            m.result = type_name();
            m.name = identifier();
            expect("(");
            if (!(peek().text == "void" && peek(1).text == ")") && peek().text != ")") {
                do {
                    ParamDecl p;
                    p.line = peek().line;
                    p.attrs = attributes();
                    p.type = type_name();
                    if (peek().kind == Kind::Identifier) p.name = identifier();
                    m.params.push_back(std::move(p));
                } while (accept(","));
            } else {
                accept("void");
            }
            expect(")");
            expect(";");
            i.methods.push_back(std::move(m));
        }
        accept(";");
        f.interfaces.push_back(std::move(i));
    }

    void enum_decl(File& f, LibraryDecl* library, Attributes attrs, int line) {
        if (identifier() != "enum") fail("only enumerations may be declared with typedef");
        if (peek().kind == Kind::Identifier) next();  // the tag; the typedef name is the type's
        EnumDecl e{std::move(attrs), "", {}, line};
        expect("{");
        while (!accept("}")) {
            std::string name = identifier();
            std::optional<std::int64_t> value;
            if (accept("=")) {
                const Token& tok = next();
                if (tok.kind != Kind::Number) fail("an enumeration value must be a number");
                try {
                    value = std::stoll(tok.text, nullptr, 0);
                } catch (const std::exception&) {
                    fail("'" + tok.text + "' is not a number");
                }
            }
            e.values.emplace_back(std::move(name), value);
            if (!accept(",")) {
                expect("}");
                break;
            }
        }
        e.name = identifier();
        expect(";");
        if (library) library->order.push_back(e.name);
        f.enums.push_back(std::move(e));
    }

    void coclass_decl(File& f, LibraryDecl* library, Attributes attrs, int line) {
        CoclassDecl c{std::move(attrs), identifier(), {}, line};
        expect("{");
        while (!accept("}")) {
            Attributes member = attributes();
            if (identifier() != "interface") fail("a coclass lists interfaces");
            c.interfaces.emplace_back(std::move(member), identifier());
            expect(";");
        }
        accept(";");
        if (library) library->order.push_back(c.name);
        f.coclasses.push_back(std::move(c));
    }

    std::vector<Token> t_;
    std::size_t at_ = 0;
};

}  // namespace

bool parse(const std::string& text, File& out, Error& error) {
    try {
        out = Parser(tokenize(text)).file();
        return true;
    } catch (const Failure& f) {
        error = {f.line, f.what()};
        return false;
    }
}

}  // namespace qv::idl
