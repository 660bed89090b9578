// quorvel-idl: compiles an interface definition into a type library and the
// C++ header that declares the same interfaces.
//
//   quorvel-idl INPUT.idl --header OUT.h --tlb OUT.tlb
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "../typelib_format.h"
#include "compile.h"

namespace {

int usage() {
    std::fprintf(stderr, "usage: quorvel-idl INPUT.idl --header OUT.h --tlb OUT.tlb\n");
    return 2;
}

bool write_file(const std::string& path, const void* data, std::size_t size) {
    // Written beside the target and renamed over it, so a build never sees half a file.
    const std::string temporary = path + ".tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (!out.write(static_cast<const char*>(data), static_cast<std::streamsize>(size)))
            return false;
    }
    return std::rename(temporary.c_str(), path.c_str()) == 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::string input, header, tlb;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--header" && i + 1 < argc) {
            header = argv[++i];
        } else if (arg == "--tlb" && i + 1 < argc) {
            tlb = argv[++i];
        } else if (input.empty() && arg.front() != '-') {
            input = arg;
        } else {
            return usage();
        }
    }
    if (input.empty() || header.empty() || tlb.empty()) return usage();

    std::ifstream in(input, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "%s: cannot be read\n", input.c_str());
        return 1;
    }
    std::ostringstream text;
    text << in.rdbuf();

    qv::idl::File file;
    qv::idl::Error error;
    qv::typelib::Library library;
    if (!qv::idl::parse(text.str(), file, error) || !qv::idl::build_library(file, library, error)) {
        std::fprintf(stderr, "%s:%d: error: %s\n", input.c_str(), error.line,
                     error.message.c_str());
        return 1;
    }
    const std::string source = input.substr(input.find_last_of('/') + 1);
    const std::string declarations = qv::idl::write_header(file, library, source);
    const std::vector<unsigned char> bytes = qv::typelib::serialize(library);
    if (!write_file(header, declarations.data(), declarations.size()) ||
        !write_file(tlb, bytes.data(), bytes.size())) {
        std::fprintf(stderr, "quorvel-idl: cannot write %s or %s\n", header.c_str(), tlb.c_str());
        return 1;
    }
    return 0;
}
