// Writes version 3: 512-byte sectors, laid out as
//   [FAT][DIFAT][directory][mini FAT][mini stream][large streams].
#include <algorithm>
#include <functional>

#include "compound_file.h"
#include "compound_file_format.h"

namespace qv::storage {
namespace {

using namespace cfb;

constexpr std::uint32_t kSectorSize = 512;
constexpr std::uint32_t kPerSector = kSectorSize / 4;

std::uint32_t sectors_for(std::uint64_t bytes, std::uint32_t unit) {
    return static_cast<std::uint32_t>((bytes + unit - 1) / unit);
}

struct Entry {
    const Node* node;
    std::uint8_t type;
    std::uint32_t left = kNoStream, right = kNoStream, child = kNoStream;
    std::uint8_t color = kBlack;
    std::uint32_t start = kEndOfChain;
    std::uint64_t size = 0;
};

class Writer {
  public:
    explicit Writer(const Node& root) { entries_.push_back({&root, kTypeRoot}); }

    std::vector<unsigned char> write() {
        entries_[0].child = add_children(*entries_[0].node);
        lay_out();
        return emit();
    }

  private:
    // Adds a storage's children as a balanced red-black tree (the children in
    // the format's name order); returns the tree's root entry.
    std::uint32_t add_children(const Node& storage) {
        std::vector<const Node*> sorted;
        for (const auto& [name, child] : storage.children) sorted.push_back(child.get());
        const std::uint32_t first = static_cast<std::uint32_t>(entries_.size());
        for (const Node* child : sorted)
            entries_.push_back({child, child->is_storage ? kTypeStorage : kTypeStream});
        int depth = 0;
        for (std::size_t n = sorted.size(); n; n /= 2) ++depth;
        // A perfect tree is all black; otherwise its deepest level is red.
        const bool perfect = (sorted.size() & (sorted.size() + 1)) == 0;
        const std::uint32_t top = balance(first, 0, sorted.size(), 1, perfect ? 0 : depth);
        for (std::size_t i = 0; i < sorted.size(); ++i) {
            if (sorted[i]->is_storage) {
                const std::uint32_t child = add_children(*sorted[i]);
                entries_[first + i].child = child;
            }
        }
        return top;
    }

    // Entries [lo, hi) of one storage as a subtree split at the middle, so null
    // links lie only below the last two levels; nodes on `red_level` are red,
    // which gives every path as many black nodes.
    std::uint32_t balance(std::uint32_t first, std::size_t lo, std::size_t hi, int level,
                          int red_level) {
        if (lo >= hi) return kNoStream;
        const std::size_t mid = lo + (hi - lo) / 2;
        entries_[first + mid].color = level == red_level ? kRed : kBlack;
        const std::uint32_t left = balance(first, lo, mid, level + 1, red_level);
        const std::uint32_t right = balance(first, mid + 1, hi, level + 1, red_level);
        entries_[first + mid].left = left;
        entries_[first + mid].right = right;
        return first + static_cast<std::uint32_t>(mid);
    }

    void lay_out() {
        // Small streams go into the mini stream, in 64-byte mini sectors.
        std::uint32_t mini_sectors = 0, big_sectors = 0;
        for (Entry& e : entries_) {
            if (e.type != kTypeStream) continue;
            e.size = e.node->data.size();
            if (e.size == 0) continue;
            if (e.size < kMiniStreamCutoff) {
                e.start = mini_sectors;
                mini_sectors += sectors_for(e.size, kMiniSectorSize);
            } else {
                big_sectors += sectors_for(e.size, kSectorSize);
            }
        }
        mini_sector_count_ = mini_sectors;
        mini_fat_sectors_ = sectors_for(static_cast<std::uint64_t>(mini_sectors) * 4, kSectorSize);
        mini_stream_sectors_ =
            sectors_for(static_cast<std::uint64_t>(mini_sectors) * kMiniSectorSize, kSectorSize);
        directory_sectors_ = sectors_for(
            static_cast<std::uint64_t>(entries_.size()) * kDirectoryEntrySize, kSectorSize);
        const std::uint32_t content =
            directory_sectors_ + mini_fat_sectors_ + mini_stream_sectors_ + big_sectors;

        // The FAT covers itself and the DIFAT too: grow both until they fit.
        fat_sectors_ = 0, difat_sectors_ = 0;
        while (true) {
            const std::uint32_t total = content + fat_sectors_ + difat_sectors_;
            const std::uint32_t fat = sectors_for(total, kPerSector);
            const std::uint32_t difat = fat > kHeaderDifatEntries
                                            ? sectors_for(fat - kHeaderDifatEntries, kPerSector - 1)
                                            : 0;
            if (fat == fat_sectors_ && difat == difat_sectors_) break;
            fat_sectors_ = fat, difat_sectors_ = difat;
        }
        total_sectors_ = content + fat_sectors_ + difat_sectors_;
        fat_.assign(static_cast<std::size_t>(fat_sectors_) * kPerSector, kFreeSector);

        std::uint32_t next = 0;
        for (std::uint32_t i = 0; i < fat_sectors_; ++i) fat_[next++] = kFatSector;
        first_difat_ = difat_sectors_ ? next : kEndOfChain;
        for (std::uint32_t i = 0; i < difat_sectors_; ++i) fat_[next++] = kDifatSector;
        first_directory_ = allocate(next, directory_sectors_);
        first_mini_fat_ = allocate(next, mini_fat_sectors_);
        entries_[0].start = allocate(next, mini_stream_sectors_);
        entries_[0].size = static_cast<std::uint64_t>(mini_sectors) * kMiniSectorSize;
        for (Entry& e : entries_) {
            if (e.type == kTypeStream && e.size >= kMiniStreamCutoff)
                e.start = allocate(next, sectors_for(e.size, kSectorSize));
        }
    }

    // Chains `count` sectors from `next` on; returns the first or ENDOFCHAIN.
    std::uint32_t allocate(std::uint32_t& next, std::uint32_t count) {
        if (count == 0) return kEndOfChain;
        const std::uint32_t first = next;
        for (std::uint32_t i = 0; i < count; ++i, ++next)
            fat_[next] = i + 1 < count ? next + 1 : kEndOfChain;
        return first;
    }

    unsigned char* sector(std::uint32_t n) {
        return out_.data() + (static_cast<std::size_t>(n) + 1) * kSectorSize;
    }

    std::vector<unsigned char> emit() {
        out_.assign((static_cast<std::size_t>(total_sectors_) + 1) * kSectorSize, 0);
        unsigned char* h = out_.data();
        std::memcpy(h, kSignature, sizeof kSignature);
        put<std::uint16_t>(h + kMinorVersion, 0x003E);
        put<std::uint16_t>(h + kMajorVersion, 3);
        put<std::uint16_t>(h + kByteOrder, 0xFFFE);
        put<std::uint16_t>(h + kSectorShift, 9);
        put<std::uint16_t>(h + kMiniSectorShift, 6);
        put<std::uint32_t>(h + kDirectorySectors, 0);
        put<std::uint32_t>(h + kFatSectors, fat_sectors_);
        put<std::uint32_t>(h + kFirstDirectorySector, first_directory_);
        put<std::uint32_t>(h + kMiniStreamCutoffField, kMiniStreamCutoff);
        put<std::uint32_t>(h + kFirstMiniFatSector, first_mini_fat_);
        put<std::uint32_t>(h + kMiniFatSectors, mini_fat_sectors_);
        put<std::uint32_t>(h + kFirstDifatSector, first_difat_);
        put<std::uint32_t>(h + kDifatSectors, difat_sectors_);

        // FAT sectors are the first ones; the header holds the first 109 of them.
        for (std::uint32_t i = 0; i < kHeaderDifatEntries; ++i)
            put<std::uint32_t>(h + kHeaderDifat + 4 * i, i < fat_sectors_ ? i : kFreeSector);
        for (std::uint32_t d = 0; d < difat_sectors_; ++d) {
            unsigned char* s = sector(first_difat_ + d);
            for (std::uint32_t i = 0; i < kPerSector - 1; ++i) {
                const std::uint32_t fat = kHeaderDifatEntries + d * (kPerSector - 1) + i;
                put<std::uint32_t>(s + 4 * i, fat < fat_sectors_ ? fat : kFreeSector);
            }
            put<std::uint32_t>(s + 4 * (kPerSector - 1),
                               d + 1 < difat_sectors_ ? first_difat_ + d + 1 : kEndOfChain);
        }
        std::memcpy(sector(0), fat_.data(), fat_.size() * 4);

        write_directory();
        write_mini();
        for (const Entry& e : entries_) {
            if (e.type == kTypeStream && e.size >= kMiniStreamCutoff)
                std::memcpy(sector(e.start), e.node->data.data(), e.node->data.size());
        }
        return std::move(out_);
    }

    void write_directory() {
        const std::size_t slots =
            static_cast<std::size_t>(directory_sectors_) * (kSectorSize / kDirectoryEntrySize);
        for (std::size_t id = 0; id < slots; ++id) {
            unsigned char* d = sector(first_directory_) + id * kDirectoryEntrySize;
            if (id >= entries_.size()) {
                put<std::uint32_t>(d + kEntryLeft, kNoStream);
                put<std::uint32_t>(d + kEntryRight, kNoStream);
                put<std::uint32_t>(d + kEntryChild, kNoStream);
                continue;
            }
            const Entry& e = entries_[id];
            const std::u16string name = e.type == kTypeRoot ? u"Root Entry" : e.node->name;
            std::memcpy(d + kEntryName, name.data(), name.size() * 2);
            put<std::uint16_t>(d + kEntryNameLength,
                               static_cast<std::uint16_t>((name.size() + 1) * 2));
            d[kEntryType] = e.type;
            d[kEntryColor] = e.type == kTypeRoot ? kBlack : e.color;
            put<std::uint32_t>(d + kEntryLeft, e.left);
            put<std::uint32_t>(d + kEntryRight, e.right);
            put<std::uint32_t>(d + kEntryChild, e.child);
            put<GUID>(d + kEntryClsid, e.node->clsid);
            put<std::uint32_t>(d + kEntryStateBits, e.node->state_bits);
            if (e.type != kTypeStream) {
                put<FILETIME>(d + kEntryCreated, e.node->ctime);
                put<FILETIME>(d + kEntryModified, e.node->mtime);
            }
            put<std::uint32_t>(d + kEntryStart,
                               e.type == kTypeStream && e.size == 0 ? kEndOfChain : e.start);
            put<std::uint64_t>(d + kEntrySize, e.size);
        }
    }

    void write_mini() {
        std::vector<std::uint32_t> mini_fat(
            static_cast<std::size_t>(mini_fat_sectors_) * kPerSector, kFreeSector);
        for (const Entry& e : entries_) {
            if (e.type != kTypeStream || e.size == 0 || e.size >= kMiniStreamCutoff) continue;
            const std::uint32_t count = sectors_for(e.size, kMiniSectorSize);
            for (std::uint32_t i = 0; i < count; ++i)
                mini_fat[e.start + i] = i + 1 < count ? e.start + i + 1 : kEndOfChain;
            // The mini stream's sectors follow each other, so its bytes are one run.
            const std::size_t offset = static_cast<std::size_t>(e.start) * kMiniSectorSize;
            std::memcpy(sector(entries_[0].start) + offset, e.node->data.data(),
                        e.node->data.size());
        }
        if (mini_fat_sectors_)
            std::memcpy(sector(first_mini_fat_), mini_fat.data(), mini_fat.size() * 4);
    }

    std::vector<Entry> entries_;
    std::vector<std::uint32_t> fat_;
    std::vector<unsigned char> out_;
    std::uint32_t fat_sectors_ = 0, difat_sectors_ = 0, directory_sectors_ = 0,
                  mini_fat_sectors_ = 0;
    std::uint32_t mini_stream_sectors_ = 0, mini_sector_count_ = 0, total_sectors_ = 0;
    std::uint32_t first_difat_ = kEndOfChain, first_directory_ = kEndOfChain,
                  first_mini_fat_ = kEndOfChain;
};

}  // namespace

std::vector<unsigned char> write_compound_file(const Node& root) {
    return Writer(root).write();
}

}  // namespace qv::storage
