// A process killed in the middle of saving leaves the old or the new document,
// never a damaged one.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <random>
#include <string>

#include "storage_helpers.h"

using namespace qvtest;
namespace fs = std::filesystem;

namespace {

constexpr std::size_t kPayload = 2 << 20;

void save_version(const std::u16string& name, unsigned version) {
    qv::com_ptr<IStorage> doc;
    if (StgOpenStorage(name.c_str(), nullptr, kRW, nullptr, 0, doc.put()) != S_OK) return;
    const std::string v = std::to_string(version);
    put_stream(doc.get(), u"Version", bytes_of(v));
    put_stream(doc.get(), u"Payload", pattern(kPayload, version));
    doc->Commit(STGC_DEFAULT);
}

}  // namespace

TEST(Durability, AKilledSaveLeavesTheOldOrTheNewDocument) {
    const fs::path dir = fs::temp_directory_path() / ("qv-durable-" + std::to_string(getpid()));
    fs::create_directories(dir);
    const std::u16string name = wide((dir / "doc.cfb").string());
    {
        qv::com_ptr<IStorage> doc;
        ASSERT_EQ(StgCreateDocfile(name.c_str(), kRW, 0, doc.put()), S_OK);
    }
    save_version(name, 1);

    std::mt19937 random(7);
    for (int trial = 0; trial < 6; ++trial) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            for (unsigned version = 2 + 1000 * static_cast<unsigned>(trial);; ++version)
                save_version(name, version);
        }
        usleep(20000 + random() % 80000);
        kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);

        qv::com_ptr<IStorage> doc;
        ASSERT_EQ(StgOpenStorage(name.c_str(), nullptr, kRead, nullptr, 0, doc.put()), S_OK)
            << "trial " << trial;
        const std::vector<unsigned char> version = get_stream(doc.get(), u"Version");
        const unsigned v =
            static_cast<unsigned>(std::stoul(std::string(version.begin(), version.end())));
        EXPECT_TRUE(get_stream(doc.get(), u"Payload") == pattern(kPayload, v)) << "version " << v;
    }
    fs::remove_all(dir);
}
