// Documents we write open in tools nobody here wrote, and theirs open here.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>

#include "storage_helpers.h"

using namespace qvtest;
namespace fs = std::filesystem;

namespace {

std::string run(const std::string& command, int* status = nullptr) {
    FILE* pipe = popen(command.c_str(), "r");
    std::string out;
    if (!pipe) return out;
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
    const int rc = pclose(pipe);
    if (status) *status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    return out;
}

std::vector<unsigned char> file_bytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class Interop : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("qv-interop-" + std::to_string(getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    fs::path dir_;
};

// Every stream of the document we build, by path.
std::map<std::string, std::vector<unsigned char>> expected_streams() {
    return {
        {"Empty", {}},
        {"Small", pattern(100, 1)},
        {"Edge", pattern(4095, 2)},
        {"Cutoff", pattern(4096, 3)},
        {"Large", pattern(70000, 4)},
        {"Huge", pattern(8 << 20, 5)},  // past 109 FAT sectors: the DIFAT is in use
        {"Folder/Inner", pattern(10, 6)},
        {"Folder/Nested/Deep", pattern(5000, 7)},
        {"Folder/Nested/Empty", {}},
    };
}

void write_document(const fs::path& path) {
    qv::com_ptr<IStorage> doc;
    ASSERT_EQ(StgCreateDocfile(wide(path.string()).c_str(), kRW | STGM_CREATE, 0, doc.put()), S_OK);
    for (const auto& [where, data] : expected_streams()) {
        qv::com_ptr<IStorage> at = doc;
        std::string rest = where;
        for (auto slash = rest.find('/'); slash != std::string::npos; slash = rest.find('/')) {
            const std::u16string part = wide(rest.substr(0, slash));
            qv::com_ptr<IStorage> next;
            if (at->OpenStorage(part.c_str(), nullptr, kRW, nullptr, 0, next.put()) != S_OK) {
                ASSERT_EQ(at->CreateStorage(part.c_str(), kRW, 0, 0, next.put()), S_OK);
            }
            at = next;
            rest = rest.substr(slash + 1);
        }
        put_stream(at.get(), wide(rest).c_str(), data);
    }
    ASSERT_EQ(doc->Commit(STGC_DEFAULT), S_OK);
}

// Reads every stream below `storage` into `out`, by path.
void read_tree(IStorage* storage, const std::string& prefix,
               std::map<std::string, std::vector<unsigned char>>& out) {
    qv::com_ptr<IEnumSTATSTG> elements;
    ASSERT_EQ(storage->EnumElements(0, nullptr, 0, elements.put()), S_OK);
    STATSTG stat;
    while (elements->Next(1, &stat, nullptr) == S_OK) {
        const std::u16string name = stat.pwcsName;
        CoTaskMemFree(stat.pwcsName);
        const std::string path = prefix + std::string(name.begin(), name.end());
        if (stat.type == STGTY_STREAM) {
            out[path] = get_stream(storage, name.c_str());
        } else {
            qv::com_ptr<IStorage> sub;
            ASSERT_EQ(storage->OpenStorage(name.c_str(), nullptr, kRead, nullptr, 0, sub.put()),
                      S_OK);
            read_tree(sub.get(), path + "/", out);
        }
    }
}

}  // namespace

TEST_F(Interop, OlefileReadsWhatWeWrite) {
    const fs::path doc = dir_ / "ours.cfb";
    write_document(doc);
    int status = -1;
    const std::string listing =
        run("/usr/bin/python3 " QV_OLEFILE_DUMP " " + doc.string() + " " + dir_.string() + " 2>&1",
            &status);
    ASSERT_EQ(status, 0) << listing;
    std::string expected_listing;
    for (const auto& [path, data] : expected_streams())
        expected_listing += path + " " + std::to_string(data.size()) + "\n";
    EXPECT_EQ(listing, expected_listing);
    for (const auto& [path, data] : expected_streams()) {
        std::string file = path;
        for (auto at = file.find('/'); at != std::string::npos; at = file.find('/'))
            file.replace(at, 1, "__");
        EXPECT_TRUE(file_bytes(dir_ / file) == data) << path;
    }
}

TEST_F(Interop, GsfReadsWhatWeWrite) {
    const fs::path doc = dir_ / "ours.cfb";
    write_document(doc);
    int status = -1;
    const std::string listing = run("/usr/bin/gsf list " + doc.string() + " 2>&1", &status);
    ASSERT_EQ(status, 0) << listing;
    for (const auto& [path, data] : expected_streams()) {
        EXPECT_NE(listing.find(" " + std::to_string(data.size()) + " " + path + "\n"),
                  std::string::npos)
            << path;
        const std::string bytes = run("/usr/bin/gsf cat " + doc.string() + " " + path, &status);
        EXPECT_EQ(status, 0);
        EXPECT_TRUE(std::vector<unsigned char>(bytes.begin(), bytes.end()) == data) << path;
    }
}

TEST_F(Interop, WeReadWhatGsfWrites) {
    std::map<std::string, std::vector<unsigned char>> expected;
    auto add = [&](const std::string& path, std::vector<unsigned char> data) {
        fs::create_directories((dir_ / "in" / path).parent_path());
        std::ofstream(dir_ / "in" / path, std::ios::binary)
            .write(reinterpret_cast<const char*>(data.data()),
                   static_cast<std::streamsize>(data.size()));
        expected[path] = std::move(data);
    };
    add("tiny", bytes_of("tiny"));
    add("mid.bin", pattern(4100, 1));
    add("large.bin", pattern(3 << 20, 2));
    add("folder/inside", pattern(333, 3));
    add("folder/deeper/leaf", pattern(9000, 4));
    int status = -1;
    const std::string made =
        run("cd " + (dir_ / "in").string() + " && /usr/bin/gsf createole " +
                (dir_ / "theirs.ole").string() + " tiny mid.bin large.bin folder 2>&1",
            &status);
    ASSERT_EQ(status, 0) << made;

    qv::com_ptr<IStorage> doc;
    ASSERT_EQ(StgOpenStorage(wide((dir_ / "theirs.ole").string()).c_str(), nullptr, kRead, nullptr,
                             0, doc.put()),
              S_OK);
    std::map<std::string, std::vector<unsigned char>> found;
    read_tree(doc.get(), "", found);
    EXPECT_TRUE(found == expected);
}

TEST_F(Interop, WeReadTwoThousandStreamsFromGsf) {
    fs::create_directories(dir_ / "in");
    std::string names;
    for (int i = 0; i < 2000; ++i) {
        const std::string name = "s" + std::to_string(i);
        std::ofstream(dir_ / "in" / name) << name;
        names += " " + name;
    }
    int status = -1;
    const std::string made = run("cd " + (dir_ / "in").string() + " && /usr/bin/gsf createole " +
                                     (dir_ / "many.ole").string() + names + " 2>&1",
                                 &status);
    ASSERT_EQ(status, 0) << made;
    qv::com_ptr<IStorage> doc;
    ASSERT_EQ(StgOpenStorage(wide((dir_ / "many.ole").string()).c_str(), nullptr, kRead, nullptr, 0,
                             doc.put()),
              S_OK);
    EXPECT_EQ(names_in(doc.get()).size(), 2000u);
    EXPECT_EQ(get_stream(doc.get(), u"s1999"), bytes_of("s1999"));
    EXPECT_EQ(get_stream(doc.get(), u"s0"), bytes_of("s0"));
}
