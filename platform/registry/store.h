// The registry database: keys in a tree under HKEY_CLASSES_ROOT, and their values.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "quorvel/platform/hresult.h"

struct sqlite3;

namespace qv::registry {

using KeyId = std::int64_t;
inline constexpr KeyId kRoot = 0;

// Where the registry lives for this process now.
std::string database_path();

class Store {
  public:
    static Store& get();

    // Held for the length of a read or a write. Writes nest: the outermost
    // write scope is one transaction, committed by its commit() and rolled
    // back if it ends without one or if any inner scope failed.
    class Scope {
      public:
        Scope(Store& store, bool write);
        ~Scope();
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;
        LONG status() const { return status_; }
        LONG commit();

      private:
        Store& store_;
        std::unique_lock<std::recursive_mutex> lock_;
        bool write_;
        bool committed_ = false;
        LONG status_;
    };

    LONG lookup(KeyId parent, std::u16string_view path, KeyId& out);
    LONG create(KeyId parent, std::u16string_view path, KeyId& out, bool& created);
    bool exists(KeyId id);
    LONG has_children(KeyId id, bool& any);
    // Deletes the key's subkeys and values, and the key itself unless it is
    // the root or `keep_self`.
    LONG delete_tree(KeyId id, bool keep_self);
    LONG set_value(KeyId key, std::u16string_view name, DWORD type, const BYTE* data, DWORD size);
    LONG get_value(KeyId key, std::u16string_view name, DWORD& type, std::vector<BYTE>& data);
    LONG delete_value(KeyId key, std::u16string_view name);
    LONG child_at(KeyId key, DWORD index, std::u16string& name);
    LONG value_at(KeyId key, DWORD index, std::u16string& name, DWORD& type,
                  std::vector<BYTE>& data);

  private:
    LONG open(bool write);
    void close();

    std::recursive_mutex mutex_;
    sqlite3* db_ = nullptr;
    std::string path_;
    std::uint64_t identity_ = 0;  // device and inode of the file opened
    bool writable_ = false;
    int depth_ = 0;  // nested write scopes on the owning thread
    bool failed_ = false;
};

// A registry result as an HRESULT.
inline HRESULT hresult_of(LONG error) {
    return HRESULT_FROM_WIN32(static_cast<DWORD>(error));
}

}  // namespace qv::registry
