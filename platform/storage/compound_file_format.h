// Constants and little-endian access shared by the reader and the writer.
#pragma once

#include <cstdint>
#include <cstring>

namespace qv::storage::cfb {

inline constexpr unsigned char kSignature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
inline constexpr std::uint32_t kMaxRegularSector = 0xFFFFFFFA;
inline constexpr std::uint32_t kDifatSector = 0xFFFFFFFC;
inline constexpr std::uint32_t kFatSector = 0xFFFFFFFD;
inline constexpr std::uint32_t kEndOfChain = 0xFFFFFFFE;
inline constexpr std::uint32_t kFreeSector = 0xFFFFFFFF;
inline constexpr std::uint32_t kNoStream = 0xFFFFFFFF;

inline constexpr std::uint32_t kHeaderDifatEntries = 109;
inline constexpr std::uint32_t kMiniSectorSize = 64;
inline constexpr std::uint32_t kMiniStreamCutoff = 4096;
inline constexpr std::uint32_t kDirectoryEntrySize = 128;

inline constexpr std::uint8_t kTypeEmpty = 0;
inline constexpr std::uint8_t kTypeStorage = 1;
inline constexpr std::uint8_t kTypeStream = 2;
inline constexpr std::uint8_t kTypeRoot = 5;
inline constexpr std::uint8_t kRed = 0;
inline constexpr std::uint8_t kBlack = 1;

// Header field offsets.
inline constexpr std::size_t kMinorVersion = 0x18, kMajorVersion = 0x1A, kByteOrder = 0x1C,
                             kSectorShift = 0x1E, kMiniSectorShift = 0x20, kDirectorySectors = 0x28,
                             kFatSectors = 0x2C, kFirstDirectorySector = 0x30,
                             kMiniStreamCutoffField = 0x38, kFirstMiniFatSector = 0x3C,
                             kMiniFatSectors = 0x40, kFirstDifatSector = 0x44, kDifatSectors = 0x48,
                             kHeaderDifat = 0x4C;

// Directory entry field offsets.
inline constexpr std::size_t kEntryName = 0x00, kEntryNameLength = 0x40, kEntryType = 0x42,
                             kEntryColor = 0x43, kEntryLeft = 0x44, kEntryRight = 0x48,
                             kEntryChild = 0x4C, kEntryClsid = 0x50, kEntryStateBits = 0x60,
                             kEntryCreated = 0x64, kEntryModified = 0x6C, kEntryStart = 0x74,
                             kEntrySize = 0x78;

template <class T>
T get(const unsigned char* p) {
    T v;
    std::memcpy(&v, p, sizeof v);  // the platform is little-endian, as the format is
    return v;
}
template <class T>
void put(unsigned char* p, T v) {
    std::memcpy(p, &v, sizeof v);
}

}  // namespace qv::storage::cfb
