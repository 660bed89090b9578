// Small helpers for tests that build and read storages.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "quorvel/platform.h"

namespace qvtest {

inline constexpr DWORD kRW = STGM_READWRITE | STGM_SHARE_EXCLUSIVE;
inline constexpr DWORD kRead = STGM_READ | STGM_SHARE_EXCLUSIVE;

inline std::vector<unsigned char> bytes_of(std::string_view text) {
    return {text.begin(), text.end()};
}

inline std::vector<unsigned char> pattern(std::size_t size, unsigned seed) {
    std::vector<unsigned char> out(size);
    for (std::size_t i = 0; i < size; ++i)
        out[i] = static_cast<unsigned char>((i * 31 + seed * 7 + (i >> 9)) & 0xFF);
    return out;
}

inline void put_stream(IStorage* storage, const char16_t* name,
                       const std::vector<unsigned char>& data) {
    qv::com_ptr<IStream> stream;
    ASSERT_EQ(storage->CreateStream(name, kRW | STGM_CREATE, 0, 0, stream.put()), S_OK);
    ULONG written = 0;
    ASSERT_EQ(stream->Write(data.data(), static_cast<ULONG>(data.size()), &written), S_OK);
    ASSERT_EQ(written, data.size());
}

inline std::vector<unsigned char> get_stream(IStorage* storage, const char16_t* name) {
    qv::com_ptr<IStream> stream;
    EXPECT_EQ(storage->OpenStream(name, nullptr, kRead, 0, stream.put()), S_OK);
    if (!stream) return {};
    STATSTG stat{};
    EXPECT_EQ(stream->Stat(&stat, STATFLAG_NONAME), S_OK);
    std::vector<unsigned char> data(static_cast<std::size_t>(stat.cbSize.QuadPart));
    ULONG read = 0;
    EXPECT_EQ(stream->Read(data.data(), static_cast<ULONG>(data.size()), &read), S_OK);
    EXPECT_EQ(read, data.size());
    return data;
}

inline std::vector<std::u16string> names_in(IStorage* storage) {
    std::vector<std::u16string> names;
    qv::com_ptr<IEnumSTATSTG> elements;
    EXPECT_EQ(storage->EnumElements(0, nullptr, 0, elements.put()), S_OK);
    STATSTG stat;
    while (elements && elements->Next(1, &stat, nullptr) == S_OK) {
        names.emplace_back(stat.pwcsName);
        CoTaskMemFree(stat.pwcsName);
    }
    return names;
}

inline std::u16string wide(const std::string& s) {
    return {s.begin(), s.end()};
}

}  // namespace qvtest
