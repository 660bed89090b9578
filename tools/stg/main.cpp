// quorvel-stg: looks inside compound files.
//
//   quorvel-stg ls FILE              the tree of storages and streams, with sizes
//   quorvel-stg cat FILE PATH        a stream's bytes (PATH: Storage/Sub/Stream)
//   quorvel-stg show FILE PATH [--json]
//                                    a stored-collection stream, decoded
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "quorvel/platform.h"
#include "stream_format.h"

namespace {

using namespace quorvel::stored;

constexpr DWORD kRead = STGM_READ | STGM_SHARE_EXCLUSIVE;

// A stored text is narrow, in the writer's code page: shown through the process's.
std::string shown_text(const std::string& narrow) {
    if (narrow.empty()) return {};
    const int n =
        MultiByteToWideChar(CP_ACP, 0, narrow.data(), static_cast<int>(narrow.size()), nullptr, 0);
    std::u16string units(static_cast<std::size_t>(n), u'\0');
    MultiByteToWideChar(CP_ACP, 0, narrow.data(), static_cast<int>(narrow.size()), units.data(), n);
    return qv::to_utf8(units);
}

std::string json_string(const std::string& s) {
    std::string out = "\"";
    for (unsigned char c : s) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

int fail(const std::string& what, HRESULT hr) {
    std::fprintf(stderr, "quorvel-stg: %s: %s\n", what.c_str(), qv::hresult_text(hr).c_str());
    return 1;
}

void list(IStorage* storage, const std::string& indent) {
    qv::com_ptr<IEnumSTATSTG> elements;
    if (FAILED(storage->EnumElements(0, nullptr, 0, elements.put()))) return;
    STATSTG stat;
    while (elements->Next(1, &stat, nullptr) == S_OK) {
        const std::u16string name = stat.pwcsName;
        CoTaskMemFree(stat.pwcsName);
        if (stat.type == STGTY_STORAGE) {
            std::printf("%s%s/\n", indent.c_str(), qv::to_utf8(name).c_str());
            qv::com_ptr<IStorage> sub;
            if (SUCCEEDED(
                    storage->OpenStorage(name.c_str(), nullptr, kRead, nullptr, 0, sub.put())))
                list(sub.get(), indent + "  ");
        } else {
            std::printf("%s%s  %llu bytes\n", indent.c_str(), qv::to_utf8(name).c_str(),
                        static_cast<unsigned long long>(stat.cbSize.QuadPart));
        }
    }
}

HRESULT open_stream(IStorage* root, const std::string& path, qv::com_ptr<IStream>& stream) {
    qv::com_ptr<IStorage> at(root);
    std::string rest = path;
    for (auto slash = rest.find('/'); slash != std::string::npos; slash = rest.find('/')) {
        qv::com_ptr<IStorage> next;
        RETURN_IF_FAILED(at->OpenStorage(qv::from_utf8(rest.substr(0, slash)).c_str(), nullptr,
                                         kRead, nullptr, 0, next.put()));
        at = next;
        rest = rest.substr(slash + 1);
    }
    return at->OpenStream(qv::from_utf8(rest).c_str(), nullptr, kRead, 0, stream.put());
}

// Collects one record's fields as they are read.
struct Shown final : RecordVisitor {
    std::vector<std::pair<std::string, std::string>> fields;  // name, printed value
    void status(std::int32_t s) override {
        fields.emplace_back("status", named(s, status_name(s)));
    }
    void numeric(bool has_value, double value) override {
        fields.emplace_back("value", has_value ? number(value) : "null");
    }
    void count(std::int32_t n) override { fields.emplace_back("count", std::to_string(n)); }
    void enum_value(std::int32_t j, std::int32_t v) override {
        fields.emplace_back("[" + std::to_string(j) + "]", std::to_string(v));
    }
    void vector_value(std::int32_t j, double v) override {
        fields.emplace_back("[" + std::to_string(j) + "]", number(v));
    }
    void vector_status(std::int32_t j, std::int32_t s) override {
        fields.emplace_back("[" + std::to_string(j) + "].status", named(s, status_name(s)));
    }
    void text(const std::string& bytes) override {
        fields.emplace_back("text", json_string(shown_text(bytes)));
    }

    static std::string number(double v) {
        char text[64];
        std::snprintf(text, sizeof text, "%.17g", v);
        return text;
    }
    static std::string named(std::int32_t v, const char* name) {
        return std::to_string(v) + " (" + name + ")";
    }
};

int show(IStream* stream, bool json) {
    Reader in(stream);
    std::uint16_t version = 0;
    std::int32_t count = 0;
    const bool header = in.u16(version) && in.i32(count);
    std::string stop;
    std::vector<std::pair<std::int32_t, Shown>> records;
    if (!header) {
        stop = "the stream ends inside the 6-byte header";
    } else {
        for (std::int32_t i = 0;; ++i) {
            const std::uint64_t start = in.offset();
            std::int32_t kind = kUnknownKind;
            if (!in.i32(kind)) {
                if (in.offset() != start)
                    stop = "the stream ends inside the kind of record " + std::to_string(i);
                break;
            }
            Shown shown;
            read_record_body(in, version, kind, shown);
            records.emplace_back(kind, std::move(shown));
            if (in.ended() || FAILED(in.failure())) {
                stop = "the stream ends inside record " + std::to_string(i);
                break;
            }
        }
        if (stop.empty() && static_cast<std::int32_t>(records.size()) != count)
            stop = "the header counts " + std::to_string(count) + " variables, the stream holds " +
                   std::to_string(records.size());
    }
    if (FAILED(in.failure())) stop = "reading failed: " + qv::hresult_text(in.failure());
    if (!stop.empty()) stop += " (at byte " + std::to_string(in.offset()) + ")";

    if (json) {
        std::printf("{\"version\": %u, \"count\": %d, \"records\": [", version, count);
        for (std::size_t i = 0; i < records.size(); ++i) {
            const auto& [kind, shown] = records[i];
            std::printf("%s\n  {\"index\": %zu, \"kind\": %d, \"kind_name\": \"%s\"", i ? "," : "",
                        i, kind, kind_name(kind));
            for (const auto& [name, value] : shown.fields) {
                const bool quoted = value.front() != '"' && value.find(' ') != std::string::npos;
                std::printf(", %s: %s", json_string(name).c_str(),
                            quoted ? json_string(value).c_str() : value.c_str());
            }
            std::printf("}");
        }
        std::printf("\n], \"complete\": %s", stop.empty() ? "true" : "false");
        if (!stop.empty()) std::printf(", \"stopped\": %s", json_string(stop).c_str());
        std::printf("}\n");
    } else {
        std::printf("format version %u%s, %d variables\n", version,
                    version == kFormatVersion ? "" : " (older layout: no statuses)", count);
        for (std::size_t i = 0; i < records.size(); ++i) {
            const auto& [kind, shown] = records[i];
            std::printf("record %zu: %s (%d)\n", i, kind_name(kind), kind);
            for (const auto& [name, value] : shown.fields)
                std::printf("    %s = %s\n", name.c_str(), value.c_str());
        }
        if (!stop.empty()) std::printf("stopped: %s\n", stop.c_str());
    }
    return stop.empty() ? 0 : 3;
}

int usage() {
    std::fprintf(stderr,
                 "usage: quorvel-stg ls FILE\n"
                 "       quorvel-stg cat FILE PATH\n"
                 "       quorvel-stg show FILE PATH [--json]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) return usage();
    const std::string command = argv[1], file = argv[2];
    const bool json = argc == 5 && std::strcmp(argv[4], "--json") == 0;
    if ((command == "ls" && argc != 3) ||
        ((command == "cat" || command == "show") && argc != 4 && !json) ||
        (command != "ls" && command != "cat" && command != "show"))
        return usage();

    qv::com_ptr<IStorage> root;
    const HRESULT opened =
        StgOpenStorage(qv::from_utf8(file).c_str(), nullptr, kRead, nullptr, 0, root.put());
    if (FAILED(opened)) return fail(file, opened);
    if (command == "ls") {
        list(root.get(), "");
        return 0;
    }
    qv::com_ptr<IStream> stream;
    const HRESULT found = open_stream(root.get(), argv[3], stream);
    if (FAILED(found)) return fail(std::string(argv[3]), found);
    if (command == "show") return show(stream.get(), json);
    char buffer[65536];
    ULONG read = 0;
    while (SUCCEEDED(stream->Read(buffer, sizeof buffer, &read)) && read > 0)
        std::fwrite(buffer, 1, read, stdout);
    return 0;
}
