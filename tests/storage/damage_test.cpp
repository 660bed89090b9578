// Damaged compound files are refused with an error: never a crash, a hang or
// an allocation the file does not justify. Degenerate but sound ones open.
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "storage_helpers.h"

using namespace qvtest;

namespace {

std::vector<unsigned char> document(int streams, std::size_t stream_size) {
    qv::com_ptr<ILockBytes> bytes;
    EXPECT_EQ(CreateILockBytesOnHGlobal(nullptr, TRUE, bytes.put()), S_OK);
    {
        qv::com_ptr<IStorage> doc;
        EXPECT_EQ(StgCreateDocfileOnILockBytes(bytes.get(), kRW | STGM_CREATE, 0, doc.put()), S_OK);
        qv::com_ptr<IStorage> sub;
        EXPECT_EQ(doc->CreateStorage(u"Sub", kRW, 0, 0, sub.put()), S_OK);
        put_stream(sub.get(), u"Inner", pattern(5000, 1));
        for (int i = 0; i < streams; ++i)
            put_stream(doc.get(), wide("s" + std::to_string(i)).c_str(), pattern(stream_size, i));
    }
    STATSTG stat{};
    bytes->Stat(&stat, STATFLAG_NONAME);
    std::vector<unsigned char> out(stat.cbSize.QuadPart);
    ULARGE_INTEGER at;
    at.QuadPart = 0;
    bytes->ReadAt(at, out.data(), static_cast<ULONG>(out.size()), nullptr);
    return out;
}

// Opens and reads everything; returns the first failure.
HRESULT open_and_walk(const std::vector<unsigned char>& bytes, std::size_t* streams = nullptr) {
    qv::com_ptr<ILockBytes> lock_bytes;
    EXPECT_EQ(QvCreateILockBytesOnMemory(bytes.data(), bytes.size(), lock_bytes.put()), S_OK);
    qv::com_ptr<IStorage> doc;
    const HRESULT hr =
        StgOpenStorageOnILockBytes(lock_bytes.get(), nullptr, kRead, nullptr, 0, doc.put());
    if (FAILED(hr)) return hr;
    std::size_t count = 0;
    for (const std::u16string& name : names_in(doc.get())) {
        qv::com_ptr<IStream> stream;
        if (doc->OpenStream(name.c_str(), nullptr, kRead, 0, stream.put()) == S_OK) ++count;
    }
    if (streams) *streams = count;
    return S_OK;
}

std::uint32_t u32(const std::vector<unsigned char>& b, std::size_t at) {
    std::uint32_t v;
    std::memcpy(&v, b.data() + at, 4);
    return v;
}
void set_u32(std::vector<unsigned char>& b, std::size_t at, std::uint32_t v) {
    std::memcpy(b.data() + at, &v, 4);
}

// Offset of directory entry `id` (our writer lays the directory out in one run).
std::size_t entry_at(const std::vector<unsigned char>& b, std::uint32_t id) {
    return (static_cast<std::size_t>(u32(b, 0x30)) + 1) * 512 + id * 128;
}

bool refused(HRESULT hr) {
    return hr == STG_E_DOCFILECORRUPT || hr == STG_E_INVALIDHEADER;
}

}  // namespace

TEST(DamagedCompoundFile, TruncationsAndFlippedBytesAreRefusedOrRead) {
    const std::vector<unsigned char> whole = document(6, 700);
    ASSERT_EQ(open_and_walk(whole), S_OK);
    for (std::size_t n = 0; n < whole.size(); n += 61) {
        const HRESULT hr = open_and_walk({whole.begin(), whole.begin() + static_cast<long>(n)});
        EXPECT_TRUE(hr == S_OK || refused(hr)) << n << " " << std::hex << hr;
    }
    std::mt19937 random(11);
    for (int round = 0; round < 1500; ++round) {
        std::vector<unsigned char> damaged = whole;
        for (int f = 0; f < 3; ++f)
            damaged[random() % damaged.size()] = static_cast<unsigned char>(random());
        const HRESULT hr = open_and_walk(damaged);
        EXPECT_TRUE(hr == S_OK || refused(hr)) << std::hex << hr;
    }
}

TEST(DamagedCompoundFile, LoopsAndImpossibleSizesAreCorrupt) {
    const std::vector<unsigned char> whole = document(2, 5000);
    const std::uint32_t root_child = u32(whole, entry_at(whole, 0) + 0x4C);

    std::vector<unsigned char> tree_loop = whole;
    set_u32(tree_loop, entry_at(tree_loop, root_child) + 0x44, root_child);
    EXPECT_EQ(open_and_walk(tree_loop), STG_E_DOCFILECORRUPT) << "an entry that is its own sibling";

    std::vector<unsigned char> outside = whole;
    set_u32(outside, entry_at(outside, root_child) + 0x48, 100000);
    EXPECT_EQ(open_and_walk(outside), STG_E_DOCFILECORRUPT) << "a sibling past the directory";

    // A large stream's first sector pointing at itself in the FAT.
    std::vector<unsigned char> chain_loop = whole;
    for (std::uint32_t id = 1; id < 6; ++id) {
        if (chain_loop[entry_at(chain_loop, id) + 0x42] == 2 &&
            u32(chain_loop, entry_at(chain_loop, id) + 0x78) >= 4096) {
            const std::uint32_t start = u32(chain_loop, entry_at(chain_loop, id) + 0x74);
            set_u32(chain_loop, 512 + start * 4, start);
            break;
        }
    }
    EXPECT_EQ(open_and_walk(chain_loop), STG_E_DOCFILECORRUPT);

    std::vector<unsigned char> huge = whole;
    set_u32(huge, entry_at(huge, root_child) + 0x78, 0x7FFFFFFF);
    EXPECT_EQ(open_and_walk(huge), STG_E_DOCFILECORRUPT) << "a size the file does not hold";

    std::vector<unsigned char> not_cfb(4096, 0);
    EXPECT_EQ(open_and_walk(not_cfb), STG_E_INVALIDHEADER);
}

TEST(DamagedCompoundFile, ADegenerateDirectoryThousandsDeepStillOpens) {
    const int streams = 3000;
    std::vector<unsigned char> list = document(streams, 16);
    // Re-link every entry below the root as one long chain of right siblings.
    const std::uint32_t count = streams + 2;  // the storage "Sub" and its stream come first
    for (std::uint32_t id = 1; id <= count; ++id) {
        const std::size_t e = entry_at(list, id);
        if (list[e + 0x42] == 1) continue;  // keep Sub's own child
        set_u32(list, e + 0x44, 0xFFFFFFFF);
    }
    std::vector<std::uint32_t> top;
    for (std::uint32_t id = 1; id <= count; ++id) {
        const std::size_t e = entry_at(list, id);
        const std::u16string name(reinterpret_cast<const char16_t*>(list.data() + e), 5);
        if (name.starts_with(u"Inner")) continue;
        top.push_back(id);
    }
    for (std::size_t i = 0; i < top.size(); ++i) {
        const std::size_t e = entry_at(list, top[i]);
        set_u32(list, e + 0x44, 0xFFFFFFFF);
        set_u32(list, e + 0x48, i + 1 < top.size() ? top[i + 1] : 0xFFFFFFFF);
    }
    set_u32(list, entry_at(list, 0) + 0x4C, top[0]);
    std::size_t found = 0;
    EXPECT_EQ(open_and_walk(list, &found), S_OK);
    EXPECT_EQ(found, static_cast<std::size_t>(streams));
}
