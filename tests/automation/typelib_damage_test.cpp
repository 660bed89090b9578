// A damaged type library is refused with an error: never a crash, a hang or
// an allocation the file does not justify.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <random>
#include <vector>

#include "quorvel/platform.h"

namespace {

std::vector<unsigned char> library_bytes() {
    std::ifstream file(QV_SHAPES_TLB, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

HRESULT load(const std::vector<unsigned char>& bytes) {
    qv::com_ptr<ITypeLib> lib;
    const HRESULT hr = QvLoadTypeLibFromMemory(bytes.data(), bytes.size(), lib.put());
    EXPECT_EQ(SUCCEEDED(hr), static_cast<bool>(lib));
    return hr;
}

bool is_refusal(HRESULT hr) {
    return hr == TYPE_E_INVALIDSTATE || hr == TYPE_E_CANTLOADLIBRARY;
}

}  // namespace

TEST(DamagedTypeLibrary, EveryTruncationIsRefused) {
    const std::vector<unsigned char> whole = library_bytes();
    ASSERT_GT(whole.size(), 100u);
    ASSERT_EQ(load(whole), S_OK);
    for (std::size_t n = 0; n < whole.size(); ++n) {
        const std::vector<unsigned char> cut(whole.begin(), whole.begin() + static_cast<long>(n));
        EXPECT_TRUE(is_refusal(load(cut))) << n;
    }
}

TEST(DamagedTypeLibrary, CorruptedBytesNeverCrash) {
    const std::vector<unsigned char> whole = library_bytes();
    std::mt19937 random(20261210);
    int refused = 0;
    for (int round = 0; round < 3000; ++round) {
        std::vector<unsigned char> damaged = whole;
        const int flips = 1 + static_cast<int>(random() % 4);
        for (int f = 0; f < flips; ++f)
            damaged[random() % damaged.size()] = static_cast<unsigned char>(random());
        const HRESULT hr = load(damaged);
        EXPECT_TRUE(hr == S_OK || is_refusal(hr)) << std::hex << hr;
        refused += hr != S_OK;
    }
    EXPECT_GT(refused, 0);
}

TEST(DamagedTypeLibrary, HugeCountsAndLoopingBasesAreRefused) {
    std::vector<unsigned char> bytes = library_bytes();
    // The type count sits after the fixed header, the library GUID, LCID,
    // SYSKIND, versions, flags, three texts and the help context.
    qv::com_ptr<ITypeLib> lib;
    ASSERT_EQ(QvLoadTypeLibFromMemory(bytes.data(), bytes.size(), lib.put()), S_OK);
    const std::vector<unsigned char> header(bytes.begin(), bytes.begin() + 4);
    EXPECT_EQ(std::string(header.begin(), header.end()), "QVTL");

    std::vector<unsigned char> wrong_magic = bytes;
    wrong_magic[0] = 'X';
    EXPECT_EQ(load(wrong_magic), TYPE_E_CANTLOADLIBRARY);
    std::vector<unsigned char> wrong_version = bytes;
    wrong_version[4] = 9;
    EXPECT_EQ(load(wrong_version), TYPE_E_CANTLOADLIBRARY);
    std::vector<unsigned char> wrong_length = bytes;
    wrong_length.push_back(0);
    EXPECT_EQ(load(wrong_length), TYPE_E_INVALIDSTATE) << "bytes after the library";

    // Every 32-bit field set to its largest value in turn.
    for (std::size_t at = 12; at + 4 <= bytes.size(); ++at) {
        std::vector<unsigned char> big = bytes;
        std::fill(big.begin() + static_cast<long>(at), big.begin() + static_cast<long>(at) + 4,
                  0xFF);
        const HRESULT hr = load(big);
        EXPECT_TRUE(hr == S_OK || is_refusal(hr)) << at;
    }
}
