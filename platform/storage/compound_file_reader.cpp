#include <algorithm>
#include <new>

#include "compound_file.h"
#include "compound_file_format.h"

namespace qv::storage {
namespace {

using namespace cfb;

struct Corrupt {};

class Reader {
  public:
    explicit Reader(std::span<const unsigned char> bytes) : bytes_(bytes) {}

    NodePtr read() {
        const unsigned char* h = bytes_.data();
        const auto major = get<std::uint16_t>(h + kMajorVersion);
        const auto shift = get<std::uint16_t>(h + kSectorShift);
        if (get<std::uint16_t>(h + kByteOrder) != 0xFFFE) throw Corrupt{};
        if (!((major == 3 && shift == 9) || (major == 4 && shift == 12))) throw Corrupt{};
        if (get<std::uint16_t>(h + kMiniSectorShift) != 6 ||
            get<std::uint32_t>(h + kMiniStreamCutoffField) != kMiniStreamCutoff)
            throw Corrupt{};
        version_ = major;
        sector_size_ = 1u << shift;
        if (bytes_.size() < sector_size_) throw Corrupt{};
        sector_count_ = static_cast<std::uint32_t>(std::min<std::size_t>(
            (bytes_.size() - sector_size_ + sector_size_ - 1) / sector_size_, kMaxRegularSector));
        claimed_.assign(sector_count_, false);

        read_fat(h);
        const std::vector<std::uint32_t> directory =
            chain(get<std::uint32_t>(h + kFirstDirectorySector));
        directory_ = gather(directory, static_cast<std::uint64_t>(directory.size()) * sector_size_);
        entry_count_ = static_cast<std::uint32_t>(directory_.size() / kDirectoryEntrySize);
        if (entry_count_ == 0 || entry(0)[kEntryType] != kTypeRoot) throw Corrupt{};

        const std::uint64_t mini_size = size_of(entry(0));
        if (mini_size)
            mini_stream_ = gather(chain(get<std::uint32_t>(entry(0) + kEntryStart)), mini_size);
        const std::vector<std::uint32_t> mini_fat_chain =
            chain(get<std::uint32_t>(h + kFirstMiniFatSector));
        const std::vector<unsigned char> mini_fat_bytes = gather(
            mini_fat_chain, static_cast<std::uint64_t>(mini_fat_chain.size()) * sector_size_);
        mini_fat_.resize(mini_fat_bytes.size() / 4);
        if (!mini_fat_.empty())
            std::memcpy(mini_fat_.data(), mini_fat_bytes.data(), mini_fat_.size() * 4);
        mini_claimed_.assign(mini_stream_.size() / kMiniSectorSize + 1, false);

        NodePtr root = std::make_shared<Node>();
        root->is_storage = true;
        describe(entry(0), *root);
        walk(get<std::uint32_t>(entry(0) + kEntryChild), *root);
        return root;
    }

  private:
    // Sector `n` (or what of it the file holds) into `out`.
    void copy_sector(std::uint32_t n, unsigned char* out, std::size_t count) const {
        const std::uint64_t offset = (static_cast<std::uint64_t>(n) + 1) * sector_size_;
        const std::size_t have =
            offset >= bytes_.size() ? 0 : std::min<std::size_t>(count, bytes_.size() - offset);
        if (have) std::memcpy(out, bytes_.data() + offset, have);
        if (count > have) std::memset(out + have, 0, count - have);
    }

    void read_fat(const unsigned char* h) {
        const std::uint32_t fat_sectors = get<std::uint32_t>(h + kFatSectors);
        if (fat_sectors > sector_count_) throw Corrupt{};
        std::vector<std::uint32_t> where;
        for (std::uint32_t i = 0; i < kHeaderDifatEntries && where.size() < fat_sectors; ++i)
            where.push_back(get<std::uint32_t>(h + kHeaderDifat + 4 * i));
        std::uint32_t next = get<std::uint32_t>(h + kFirstDifatSector);
        const std::uint32_t per_sector = sector_size_ / 4 - 1;
        std::vector<unsigned char> sector(sector_size_);
        for (std::uint32_t steps = 0; where.size() < fat_sectors; ++steps) {
            if (next >= sector_count_ || steps > sector_count_ || claimed_[next]) throw Corrupt{};
            claimed_[next] = true;
            copy_sector(next, sector.data(), sector_size_);
            for (std::uint32_t i = 0; i < per_sector && where.size() < fat_sectors; ++i)
                where.push_back(get<std::uint32_t>(sector.data() + 4 * i));
            next = get<std::uint32_t>(sector.data() + 4 * per_sector);
        }
        fat_.resize(static_cast<std::size_t>(fat_sectors) * (sector_size_ / 4));
        for (std::size_t i = 0; i < where.size(); ++i) {
            if (where[i] >= sector_count_ || claimed_[where[i]]) throw Corrupt{};
            claimed_[where[i]] = true;
            copy_sector(where[i],
                        reinterpret_cast<unsigned char*>(fat_.data() + i * (sector_size_ / 4)),
                        sector_size_);
        }
    }

    // A chain of regular sectors; each sector belongs to one chain at most.
    std::vector<std::uint32_t> chain(std::uint32_t start) {
        std::vector<std::uint32_t> sectors;
        for (std::uint32_t at = start; at != kEndOfChain;) {
            if (at >= sector_count_ || at >= fat_.size() || claimed_[at]) throw Corrupt{};
            claimed_[at] = true;
            sectors.push_back(at);
            at = fat_[at];
        }
        return sectors;
    }

    std::vector<unsigned char> gather(const std::vector<std::uint32_t>& sectors,
                                      std::uint64_t size) const {
        if (size > static_cast<std::uint64_t>(sectors.size()) * sector_size_) throw Corrupt{};
        std::vector<unsigned char> out(static_cast<std::size_t>(size));
        for (std::size_t i = 0; i < sectors.size() && i * sector_size_ < size; ++i)
            copy_sector(sectors[i], out.data() + i * sector_size_,
                        std::min<std::size_t>(sector_size_,
                                              static_cast<std::size_t>(size) - i * sector_size_));
        return out;
    }

    std::vector<unsigned char> mini_gather(std::uint32_t start, std::uint64_t size) {
        std::vector<unsigned char> out;
        out.reserve(static_cast<std::size_t>(size));
        for (std::uint32_t at = start; out.size() < size;) {
            const std::uint64_t offset = static_cast<std::uint64_t>(at) * kMiniSectorSize;
            if (at >= mini_fat_.size() || offset >= mini_stream_.size() || mini_claimed_[at])
                throw Corrupt{};
            mini_claimed_[at] = true;
            const std::size_t take =
                std::min<std::size_t>({kMiniSectorSize, static_cast<std::size_t>(size) - out.size(),
                                       mini_stream_.size() - offset});
            out.insert(out.end(), mini_stream_.begin() + static_cast<long>(offset),
                       mini_stream_.begin() + static_cast<long>(offset + take));
            if (take < kMiniSectorSize && out.size() < size) throw Corrupt{};
            at = mini_fat_[at];
            if (out.size() < size && at == kEndOfChain) throw Corrupt{};
        }
        return out;
    }

    const unsigned char* entry(std::uint32_t id) const {
        return directory_.data() + static_cast<std::size_t>(id) * kDirectoryEntrySize;
    }

    std::uint64_t size_of(const unsigned char* e) const {
        // Version 3 keeps sizes in 32 bits; some writers leave junk in the high half.
        const std::uint64_t size =
            version_ == 3 ? get<std::uint32_t>(e + kEntrySize) : get<std::uint64_t>(e + kEntrySize);
        if (size > bytes_.size()) throw Corrupt{};
        return size;
    }

    static void describe(const unsigned char* e, Node& node) {
        node.clsid = get<GUID>(e + kEntryClsid);
        node.state_bits = get<std::uint32_t>(e + kEntryStateBits);
        node.ctime = get<FILETIME>(e + kEntryCreated);
        node.mtime = get<FILETIME>(e + kEntryModified);
    }

    // Every entry of a directory tree, without recursion, each entry once.
    void walk(std::uint32_t first, Node& root) {
        std::vector<bool> seen(entry_count_, false);
        std::vector<std::pair<std::uint32_t, Node*>> pending;
        if (first != kNoStream) pending.emplace_back(first, &root);
        while (!pending.empty()) {
            const auto [id, parent] = pending.back();
            pending.pop_back();
            if (id >= entry_count_ || seen[id]) throw Corrupt{};
            seen[id] = true;
            const unsigned char* e = entry(id);
            const std::uint8_t type = e[kEntryType];
            if (type != kTypeStorage && type != kTypeStream) throw Corrupt{};
            const auto length = get<std::uint16_t>(e + kEntryNameLength);
            if (length < 4 || length > 64 || length % 2) throw Corrupt{};
            std::u16string name(length / 2 - 1, u'\0');
            std::memcpy(name.data(), e + kEntryName, name.size() * 2);
            if (name.find(u'\0') != std::u16string::npos) name.resize(name.find(u'\0'));
            if (name.empty()) throw Corrupt{};

            auto node = std::make_shared<Node>();
            node->name = name;
            node->is_storage = type == kTypeStorage;
            describe(e, *node);
            if (node->is_storage) {
                const std::uint32_t child = get<std::uint32_t>(e + kEntryChild);
                if (child != kNoStream) pending.emplace_back(child, node.get());
            } else {
                const std::uint64_t size = size_of(e);
                const std::uint32_t start = get<std::uint32_t>(e + kEntryStart);
                if (size == 0) {
                } else if (size < kMiniStreamCutoff) {
                    node->data = mini_gather(start, size);
                } else {
                    node->data = gather(chain(start), size);
                }
            }
            if (!parent->children.emplace(name, node).second) throw Corrupt{};
            for (std::size_t side : {kEntryLeft, kEntryRight}) {
                const std::uint32_t sibling = get<std::uint32_t>(e + side);
                if (sibling != kNoStream) pending.emplace_back(sibling, parent);
            }
        }
    }

    std::span<const unsigned char> bytes_;
    std::uint16_t version_ = 3;
    std::uint32_t sector_size_ = 512;
    std::uint32_t sector_count_ = 0;
    std::vector<bool> claimed_;
    std::vector<std::uint32_t> fat_;
    std::vector<unsigned char> directory_;
    std::uint32_t entry_count_ = 0;
    std::vector<unsigned char> mini_stream_;
    std::vector<std::uint32_t> mini_fat_;
    std::vector<bool> mini_claimed_;
};

}  // namespace

bool has_signature(std::span<const unsigned char> bytes) {
    return bytes.size() >= sizeof kSignature &&
           std::memcmp(bytes.data(), kSignature, sizeof kSignature) == 0;
}

HRESULT read_compound_file(std::span<const unsigned char> bytes, NodePtr& root) {
    if (bytes.size() < 512 || !has_signature(bytes)) return STG_E_INVALIDHEADER;
    const auto major = get<std::uint16_t>(bytes.data() + kMajorVersion);
    if (major != 3 && major != 4) return STG_E_INVALIDHEADER;
    try {
        root = Reader(bytes).read();
        return S_OK;
    } catch (const Corrupt&) {
        return STG_E_DOCFILECORRUPT;
    } catch (const std::bad_alloc&) {
        return STG_E_INSUFFICIENTMEMORY;
    }
}

}  // namespace qv::storage
