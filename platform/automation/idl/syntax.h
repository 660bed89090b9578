// The interface definitions a .idl file declares, as read, before checking.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qv::idl {

struct Attribute {
    std::string name;
    std::vector<std::string> args;  // token texts; string literals without their quotes
    int line = 0;
};
using Attributes = std::vector<Attribute>;

const Attribute* find(const Attributes& attrs, const std::string& name);

struct TypeName {
    std::string base;  // "long", "BSTR", "IUnknown", or a name the file declares
    int pointers = 0;
};

struct ParamDecl {
    Attributes attrs;
    TypeName type;
    std::optional<std::string> name;
    int line = 0;
};

struct MethodDecl {
    Attributes attrs;
    TypeName result;
    std::string name;
    std::vector<ParamDecl> params;
    int line = 0;
};

struct InterfaceDecl {
    Attributes attrs;
    std::string name;
    std::string base;  // empty only for a forward reference
    std::vector<MethodDecl> methods;
    int line = 0;
};

struct EnumDecl {
    Attributes attrs;
    std::string name;
    std::vector<std::pair<std::string, std::optional<std::int64_t>>> values;
    int line = 0;
};

struct CoclassDecl {
    Attributes attrs;
    std::string name;
    std::vector<std::pair<Attributes, std::string>> interfaces;
    int line = 0;
};

struct LibraryDecl {
    Attributes attrs;
    std::string name;
    std::vector<std::string> order;  // type names in the order the block names them
    int line = 0;
};

struct File {
    std::vector<InterfaceDecl> interfaces;
    std::vector<EnumDecl> enums;
    std::vector<CoclassDecl> coclasses;
    std::optional<LibraryDecl> library;
};

// A problem in the input, with the line it was found on.
struct Error {
    int line;
    std::string message;
};

// Reads the subset of the interface definition language that Quorvel uses.
// Returns false and fills `error` on the first problem.
bool parse(const std::string& text, File& out, Error& error);

}  // namespace qv::idl
