#include "store.h"

#include <sqlite3.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>

#include "../text/code_page.h"

namespace qv::registry {
namespace {

constexpr int kBusyTimeoutMs = 30000;

constexpr const char* kSchema =
    "CREATE TABLE IF NOT EXISTS keys ("
    "  id INTEGER PRIMARY KEY, parent INTEGER NOT NULL, name TEXT NOT NULL,"
    "  folded TEXT NOT NULL, UNIQUE (parent, folded));"
    "CREATE TABLE IF NOT EXISTS key_values ("
    "  key INTEGER NOT NULL, name TEXT NOT NULL, folded TEXT NOT NULL,"
    "  type INTEGER NOT NULL, data BLOB, PRIMARY KEY (key, folded));";

// Names compare without regard to case: ASCII and Latin-1 letters fold.
std::string folded(std::u16string_view name) {
    std::u16string lower(name);
    for (char16_t& c : lower) {
        if ((c >= u'A' && c <= u'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7)) c += 32;
    }
    return text::to_utf8(lower);
}

LONG error_of(int sqlite_code, bool write) {
    switch (sqlite_code & 0xFF) {
        case SQLITE_OK:
        case SQLITE_DONE:
        case SQLITE_ROW:
            return ERROR_SUCCESS;
        case SQLITE_READONLY:
        case SQLITE_PERM:
        case SQLITE_AUTH:
            return ERROR_ACCESS_DENIED;
        case SQLITE_CANTOPEN:
            return write ? ERROR_ACCESS_DENIED : ERROR_CANTOPEN;
        case SQLITE_NOTADB:
        case SQLITE_CORRUPT:
        case SQLITE_FORMAT:
            return ERROR_BADDB;
        case SQLITE_NOMEM:
            return ERROR_NOT_ENOUGH_MEMORY;
        default:
            return write ? ERROR_CANTWRITE : ERROR_CANTREAD;
    }
}

class Statement {
  public:
    Statement(sqlite3* db, const char* sql) {
        rc_ = sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr);
    }
    ~Statement() { sqlite3_finalize(stmt_); }
    Statement& bind(int i, std::int64_t v) {
        if (rc_ == SQLITE_OK) rc_ = sqlite3_bind_int64(stmt_, i, v);
        return *this;
    }
    Statement& bind(int i, const std::string& text) {
        if (rc_ == SQLITE_OK)
            rc_ = sqlite3_bind_text(stmt_, i, text.data(), static_cast<int>(text.size()),
                                    SQLITE_TRANSIENT);
        return *this;
    }
    Statement& bind_blob(int i, const BYTE* data, DWORD size) {
        if (rc_ == SQLITE_OK)
            rc_ = sqlite3_bind_blob(stmt_, i, size ? data : reinterpret_cast<const BYTE*>(""),
                                    static_cast<int>(size), SQLITE_TRANSIENT);
        return *this;
    }
    // SQLITE_ROW, SQLITE_DONE or an error.
    int step() {
        if (rc_ != SQLITE_OK && rc_ != SQLITE_ROW && rc_ != SQLITE_DONE) return rc_;
        rc_ = sqlite3_step(stmt_);
        return rc_;
    }
    std::int64_t integer(int col) const { return sqlite3_column_int64(stmt_, col); }
    std::u16string text(int col) const {
        const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, col));
        return text::from_utf8(
            p ? std::string_view(p, static_cast<std::size_t>(sqlite3_column_bytes(stmt_, col)))
              : "");
    }
    std::vector<BYTE> blob(int col) const {
        const auto* p = static_cast<const BYTE*>(sqlite3_column_blob(stmt_, col));
        return p ? std::vector<BYTE>(p, p + sqlite3_column_bytes(stmt_, col)) : std::vector<BYTE>();
    }

  private:
    sqlite3_stmt* stmt_ = nullptr;
    int rc_;
};

// Splits a backslash-separated path; empty components are refused.
bool split(std::u16string_view path, std::vector<std::u16string_view>& parts) {
    while (!path.empty()) {
        const auto slash = path.find(u'\\');
        const std::u16string_view part = path.substr(0, slash);
        if (part.empty()) return false;
        parts.push_back(part);
        if (slash == std::u16string_view::npos) break;
        path.remove_prefix(slash + 1);
        if (path.empty()) return false;
    }
    return true;
}

// The file behind a path, so that a registry replaced or removed underneath an
// open connection is noticed.
std::uint64_t identity_of(const std::string& path) {
    struct stat st;
    if (stat(path.c_str(), &st) != 0) return 0;
    return (static_cast<std::uint64_t>(st.st_dev) << 32) ^ static_cast<std::uint64_t>(st.st_ino);
}

bool marked_read_only(const std::string& path) {
    struct stat st;
    // The write bits are honoured even for a user whom the system would let write.
    return stat(path.c_str(), &st) == 0 && (st.st_mode & 0222) == 0;
}

}  // namespace

std::string database_path() {
    if (const char* named = std::getenv("QUORVEL_REGISTRY"); named && *named) return named;
    if (const char* data = std::getenv("XDG_DATA_HOME"); data && *data)
        return std::string(data) + "/quorvel/registry.db";
    const char* home = std::getenv("HOME");
    return std::string(home && *home ? home : ".") + "/.local/share/quorvel/registry.db";
}

Store& Store::get() {
    static Store store;
    return store;
}

void Store::close() {
    if (db_) sqlite3_close_v2(db_);
    db_ = nullptr;
    writable_ = false;
}

LONG Store::open(bool write) {
    if (depth_ > 0) return ERROR_SUCCESS;  // inside a write: the connection stays
    const std::string path = database_path();
    if (write && marked_read_only(path)) return ERROR_ACCESS_DENIED;
    if (db_ && path == path_ && (writable_ || !write) && identity_of(path) == identity_)
        return ERROR_SUCCESS;
    close();
    path_ = path;
    std::error_code ignored;
    if (!write && !std::filesystem::exists(path, ignored)) return ERROR_SUCCESS;  // empty
    if (write) {
        const auto parent = std::filesystem::path(path).parent_path();
        if (!parent.empty()) std::filesystem::create_directories(parent, ignored);
    }
    const int flags = write ? SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE : SQLITE_OPEN_READONLY;
    const int rc = sqlite3_open_v2(path.c_str(), &db_, flags | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK) {
        close();
        return error_of(rc, write);
    }
    sqlite3_busy_timeout(db_, kBusyTimeoutMs);
    writable_ = write;
    identity_ = identity_of(path);
    return ERROR_SUCCESS;
}

Store::Scope::Scope(Store& store, bool write)
    : store_(store), lock_(store.mutex_), write_(write), status_(store.open(write)) {
    if (status_ != ERROR_SUCCESS || !write_) return;
    if (store_.depth_++ > 0) return;
    store_.failed_ = false;
    int rc = sqlite3_exec(store_.db_, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
    if (rc == SQLITE_OK) rc = sqlite3_exec(store_.db_, kSchema, nullptr, nullptr, nullptr);
    status_ = error_of(rc, true);
    if (status_ != ERROR_SUCCESS) store_.failed_ = true;
}

LONG Store::Scope::commit() {
    if (!write_ || status_ != ERROR_SUCCESS) return status_;
    committed_ = true;
    if (store_.depth_ > 1) return ERROR_SUCCESS;
    if (store_.failed_) return ERROR_CANTWRITE;
    status_ = error_of(sqlite3_exec(store_.db_, "COMMIT", nullptr, nullptr, nullptr), true);
    return status_;
}

Store::Scope::~Scope() {
    if (!write_ || store_.depth_ == 0) return;
    if (!committed_ || status_ != ERROR_SUCCESS) store_.failed_ = true;
    if (--store_.depth_ > 0) return;
    if (!committed_ || status_ != ERROR_SUCCESS || store_.failed_) {
        if (store_.db_ && !sqlite3_get_autocommit(store_.db_))
            sqlite3_exec(store_.db_, "ROLLBACK", nullptr, nullptr, nullptr);
    }
}

namespace {
// A read of a database without our tables (or none at all) is a read of an empty registry.
bool no_such_table(sqlite3* db, int rc) {
    return rc == SQLITE_ERROR && db &&
           std::string_view(sqlite3_errmsg(db)).starts_with("no such table");
}
}  // namespace

LONG Store::lookup(KeyId parent, std::u16string_view path, KeyId& out) {
    std::vector<std::u16string_view> parts;
    if (!split(path, parts)) return ERROR_INVALID_PARAMETER;
    KeyId at = parent;
    for (std::u16string_view part : parts) {
        if (!db_) return ERROR_FILE_NOT_FOUND;
        Statement s(db_, "SELECT id FROM keys WHERE parent = ?1 AND folded = ?2");
        const int rc = s.bind(1, at).bind(2, folded(part)).step();
        if (rc == SQLITE_DONE || no_such_table(db_, rc)) return ERROR_FILE_NOT_FOUND;
        if (rc != SQLITE_ROW) return error_of(rc, false);
        at = s.integer(0);
    }
    out = at;
    return ERROR_SUCCESS;
}

LONG Store::create(KeyId parent, std::u16string_view path, KeyId& out, bool& created) {
    std::vector<std::u16string_view> parts;
    if (!split(path, parts)) return ERROR_INVALID_PARAMETER;
    created = false;
    KeyId at = parent;
    for (std::u16string_view part : parts) {
        KeyId next = 0;
        const LONG found = lookup(at, part, next);
        if (found == ERROR_FILE_NOT_FOUND) {
            Statement s(db_, "INSERT INTO keys (parent, name, folded) VALUES (?1, ?2, ?3)");
            const int rc = s.bind(1, at).bind(2, text::to_utf8(part)).bind(3, folded(part)).step();
            if (rc != SQLITE_DONE) return error_of(rc, true);
            next = sqlite3_last_insert_rowid(db_);
            created = true;
        } else if (found != ERROR_SUCCESS) {
            return found;
        }
        at = next;
    }
    out = at;
    return ERROR_SUCCESS;
}

bool Store::exists(KeyId id) {
    if (id == kRoot) return true;
    if (!db_) return false;
    Statement s(db_, "SELECT 1 FROM keys WHERE id = ?1");
    return s.bind(1, id).step() == SQLITE_ROW;
}

LONG Store::has_children(KeyId id, bool& any) {
    any = false;
    if (!db_) return ERROR_SUCCESS;
    Statement s(db_, "SELECT 1 FROM keys WHERE parent = ?1 LIMIT 1");
    const int rc = s.bind(1, id).step();
    if (rc == SQLITE_ROW) any = true;
    return rc == SQLITE_ROW || rc == SQLITE_DONE || no_such_table(db_, rc) ? ERROR_SUCCESS
                                                                           : error_of(rc, false);
}

LONG Store::delete_tree(KeyId id, bool keep_self) {
    // Every key below, found breadth first without recursion.
    std::vector<KeyId> doomed{id};
    for (std::size_t i = 0; i < doomed.size(); ++i) {
        Statement s(db_, "SELECT id FROM keys WHERE parent = ?1");
        s.bind(1, doomed[i]);
        int rc;
        while ((rc = s.step()) == SQLITE_ROW) doomed.push_back(s.integer(0));
        if (rc != SQLITE_DONE) return error_of(rc, true);
    }
    for (std::size_t i = 0; i < doomed.size(); ++i) {
        const KeyId k = doomed[i];
        Statement values(db_, "DELETE FROM key_values WHERE key = ?1");
        int rc = values.bind(1, k).step();
        if (rc != SQLITE_DONE) return error_of(rc, true);
        if (k == id && (keep_self || id == kRoot)) continue;
        Statement key(db_, "DELETE FROM keys WHERE id = ?1");
        rc = key.bind(1, k).step();
        if (rc != SQLITE_DONE) return error_of(rc, true);
    }
    return ERROR_SUCCESS;
}

LONG Store::set_value(KeyId key, std::u16string_view name, DWORD type, const BYTE* data,
                      DWORD size) {
    Statement s(
        db_,
        "INSERT INTO key_values (key, name, folded, type, data) VALUES (?1, ?2, ?3, ?4, ?5) "
        "ON CONFLICT (key, folded) DO UPDATE SET name = ?2, type = ?4, data = ?5");
    const int rc = s.bind(1, key)
                       .bind(2, text::to_utf8(name))
                       .bind(3, folded(name))
                       .bind(4, type)
                       .bind_blob(5, data, size)
                       .step();
    return rc == SQLITE_DONE ? ERROR_SUCCESS : error_of(rc, true);
}

LONG Store::get_value(KeyId key, std::u16string_view name, DWORD& type, std::vector<BYTE>& data) {
    if (!db_) return ERROR_FILE_NOT_FOUND;
    Statement s(db_, "SELECT type, data FROM key_values WHERE key = ?1 AND folded = ?2");
    const int rc = s.bind(1, key).bind(2, folded(name)).step();
    if (rc == SQLITE_DONE || no_such_table(db_, rc)) return ERROR_FILE_NOT_FOUND;
    if (rc != SQLITE_ROW) return error_of(rc, false);
    type = static_cast<DWORD>(s.integer(0));
    data = s.blob(1);
    return ERROR_SUCCESS;
}

LONG Store::delete_value(KeyId key, std::u16string_view name) {
    Statement s(db_, "DELETE FROM key_values WHERE key = ?1 AND folded = ?2");
    const int rc = s.bind(1, key).bind(2, folded(name)).step();
    if (rc != SQLITE_DONE) return error_of(rc, true);
    return sqlite3_changes(db_) ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
}

LONG Store::child_at(KeyId key, DWORD index, std::u16string& name) {
    if (!db_) return ERROR_NO_MORE_ITEMS;
    Statement s(db_, "SELECT name FROM keys WHERE parent = ?1 ORDER BY folded LIMIT 1 OFFSET ?2");
    const int rc = s.bind(1, key).bind(2, index).step();
    if (rc == SQLITE_DONE || no_such_table(db_, rc)) return ERROR_NO_MORE_ITEMS;
    if (rc != SQLITE_ROW) return error_of(rc, false);
    name = s.text(0);
    return ERROR_SUCCESS;
}

LONG Store::value_at(KeyId key, DWORD index, std::u16string& name, DWORD& type,
                     std::vector<BYTE>& data) {
    if (!db_) return ERROR_NO_MORE_ITEMS;
    Statement s(
        db_,
        "SELECT name, type, data FROM key_values WHERE key = ?1 ORDER BY folded LIMIT 1 OFFSET ?2");
    const int rc = s.bind(1, key).bind(2, index).step();
    if (rc == SQLITE_DONE || no_such_table(db_, rc)) return ERROR_NO_MORE_ITEMS;
    if (rc != SQLITE_ROW) return error_of(rc, false);
    name = s.text(0);
    type = static_cast<DWORD>(s.integer(1));
    data = s.blob(2);
    return ERROR_SUCCESS;
}

}  // namespace qv::registry
