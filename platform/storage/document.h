// A structured-storage document: its tree in memory and the medium (a file
// or a byte array) it is read from and saved to.
#pragma once

#include <memory>
#include <mutex>
#include <string>

#include "node.h"
#include "quorvel/platform/com_ptr.h"
#include "quorvel/platform/result.h"

namespace qv::storage {

class Document {
  public:
    static std::shared_ptr<Document> on_file(std::string path, NodePtr root, bool writable);
    static std::shared_ptr<Document> on_bytes(ILockBytes* bytes, NodePtr root, bool writable);

    NodePtr root;  // what the medium holds once saved
    bool writable = false;
    bool dirty = false;
    std::string path;  // empty for a byte array

    // Writes the whole tree to the medium: a file is written beside the old
    // one and renamed over it.
    HRESULT save();

  private:
    com_ptr<ILockBytes> bytes_;
};

HRESULT read_file(const std::string& path, std::vector<unsigned char>& out);
HRESULT read_lock_bytes(ILockBytes* bytes, std::vector<unsigned char>& out);

}  // namespace qv::storage
