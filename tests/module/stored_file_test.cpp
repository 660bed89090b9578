// A document stored by one process and recalled by another, read by tools
// nobody here wrote, and shown by quorvel-stg.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "quorvel/platform.h"

namespace fs = std::filesystem;

namespace {

std::string run(const std::string& command, int* status = nullptr) {
    FILE* pipe = popen(command.c_str(), "r");
    std::string out;
    char buffer[4096];
    std::size_t n;
    while (pipe && (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
    const int rc = pipe ? pclose(pipe) : -1;
    if (status) *status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    return out;
}

class StoredFile : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("qv-stored-" + std::to_string(getpid()));
        fs::create_directories(dir_);
        file_ = (dir_ / "values.cfb").string();
    }
    void TearDown() override { fs::remove_all(dir_); }
    fs::path dir_;
    std::string file_;
};

}  // namespace

TEST_F(StoredFile, StoredByOneProcessRecalledByAnother) {
    int status = -1;
    run(std::string(QV_STORED_TOOL) + " store " + file_, &status);
    ASSERT_EQ(status, 0);
    const std::string recalled = run(std::string(QV_STORED_TOOL) + " recall " + file_, &status);
    ASSERT_EQ(status, 0);
    EXPECT_EQ(recalled, "0.10000000000000001 1 stored text 1.0000000000000001e+300 -0.5 1 3 -9\n");

    // olefile reads the stream's bytes equal to what quorvel-stg cat prints.
    const std::string ours = run(std::string(QV_STG) + " cat " + file_ + " Values", &status);
    ASSERT_EQ(status, 0);
    run("/usr/bin/python3 " QV_OLEFILE_DUMP " " + file_ + " " + dir_.string(), &status);
    ASSERT_EQ(status, 0);
    const std::string theirs = run("cat " + (dir_ / "Values").string());
    EXPECT_EQ(ours, theirs);
    EXPECT_EQ(ours.size(), 6u + (8 + 12) + (8 + 4 + 11) + (8 + 4 + 2 * 12) + (8 + 4 + 2 * 4));
}

TEST_F(StoredFile, TheInspectorShowsRecordsAndWhereADamagedStreamStops) {
    int status = -1;
    run(std::string(QV_STORED_TOOL) + " store " + file_, &status);
    ASSERT_EQ(status, 0);
    const std::string listing = run(std::string(QV_STG) + " ls " + file_, &status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(listing, "Values  105 bytes\n");
    const std::string shown = run(std::string(QV_STG) + " show " + file_ + " Values", &status);
    EXPECT_EQ(status, 0) << shown;
    EXPECT_NE(shown.find("format version 2, 4 variables"), std::string::npos) << shown;
    EXPECT_NE(shown.find("record 1: eStringVariable (4)"), std::string::npos);
    EXPECT_NE(shown.find("text = \"stored text\""), std::string::npos);
    const std::string json =
        run(std::string(QV_STG) + " show " + file_ + " Values --json", &status);
    EXPECT_NE(json.find("\"complete\": true"), std::string::npos) << json;
    EXPECT_NE(json.find("\"kind_name\": \"eEnumVariable\""), std::string::npos);

    // A stream cut inside its third record.
    {
        qv::com_ptr<IStorage> doc;
        const std::u16string name(file_.begin(), file_.end());
        ASSERT_EQ(StgOpenStorage(name.c_str(), nullptr, STGM_READWRITE | STGM_SHARE_EXCLUSIVE,
                                 nullptr, 0, doc.put()),
                  S_OK);
        qv::com_ptr<IStream> stream;
        ASSERT_EQ(doc->OpenStream(u"Values", nullptr, STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0,
                                  stream.put()),
                  S_OK);
        ULARGE_INTEGER size;
        size.QuadPart = 60;
        ASSERT_EQ(stream->SetSize(size), S_OK);
    }
    const std::string cut = run(std::string(QV_STG) + " show " + file_ + " Values", &status);
    EXPECT_EQ(status, 3);
    EXPECT_NE(cut.find("stopped: the stream ends inside record 2 (at byte 60)"), std::string::npos)
        << cut;

    EXPECT_EQ(run(std::string(QV_STG) + " show " + file_ + " Missing 2>&1", &status)
                      .find("STG_E_FILENOTFOUND") != std::string::npos,
              true);
    EXPECT_EQ(status, 1);
}
