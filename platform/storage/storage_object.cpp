#include <algorithm>

#include "enum_statstg.h"
#include "objects.h"

namespace qv::storage {
namespace {

constexpr DWORD kElementFlags = STGM_SHARE_EXCLUSIVE;

class StorageObject final : public implements<StorageObject, IStorage> {
  public:
    StorageObject(std::shared_ptr<Document> doc, NodePtr base, DWORD mode, bool is_root)
        : doc_(std::move(doc)), base_(std::move(base)), mode_(mode), root_(is_root) {
        working_ = transacted() ? deep_copy(*base_) : base_;
        if (!root_) ++base_->open;
    }
    ~StorageObject() {
        if (!root_) --base_->open;
        if (transacted()) revert_tree(*working_);
        // A direct root keeps what was done to it: it saves at its final release.
        if (root_ && !transacted() && doc_->writable && doc_->dirty && !base_->reverted)
            doc_->save();
    }

    HRESULT STDMETHODCALLTYPE CreateStream(const OLECHAR* name, DWORD mode, DWORD, DWORD,
                                           IStream** out) noexcept override {
        if (!out) return STG_E_INVALIDPOINTER;
        *out = nullptr;
        NodePtr node;
        RETURN_IF_FAILED(create(name, mode, false, node));
        return open_stream(doc_, node, mode, 0, true, out);
    }

    HRESULT STDMETHODCALLTYPE OpenStream(const OLECHAR* name, void*, DWORD mode, DWORD,
                                         IStream** out) noexcept override {
        if (!out) return STG_E_INVALIDPOINTER;
        *out = nullptr;
        NodePtr node;
        RETURN_IF_FAILED(find(name, mode, false, node));
        if (mode & STGM_TRANSACTED) return STG_E_INVALIDFUNCTION;
        return open_stream(doc_, node, mode, 0, true, out);
    }

    HRESULT STDMETHODCALLTYPE CreateStorage(const OLECHAR* name, DWORD mode, DWORD, DWORD,
                                            IStorage** out) noexcept override {
        if (!out) return STG_E_INVALIDPOINTER;
        *out = nullptr;
        NodePtr node;
        RETURN_IF_FAILED(create(name, mode, true, node));
        return open_storage(doc_, node, mode, false, out);
    }

    HRESULT STDMETHODCALLTYPE OpenStorage(const OLECHAR* name, IStorage* priority, DWORD mode, SNB,
                                          DWORD, IStorage** out) noexcept override {
        if (!out) return STG_E_INVALIDPOINTER;
        *out = nullptr;
        if (priority) return STG_E_INVALIDPARAMETER;
        NodePtr node;
        RETURN_IF_FAILED(find(name, mode, true, node));
        return open_storage(doc_, node, mode, false, out);
    }

    HRESULT STDMETHODCALLTYPE CopyTo(DWORD ciidExclude, const IID* rgiidExclude, SNB snbExclude,
                                     IStorage* dest) noexcept override {
        RETURN_IF_FAILED(usable());
        if (!dest) return STG_E_INVALIDPOINTER;
        if (ciidExclude && !rgiidExclude) return STG_E_INVALIDPOINTER;
        const auto excluded = [&](const IID& iid) {
            return std::any_of(rgiidExclude, rgiidExclude + ciidExclude,
                               [&](const IID& e) { return e == iid; });
        };
        const bool streams = !excluded(IID_IStream), storages = !excluded(IID_IStorage);
        for (const auto& [name, child] : working_->children) {
            if (named_in(snbExclude, name)) continue;
            if (child->is_storage ? !storages : !streams) continue;
            RETURN_IF_FAILED(copy_element(*child, dest, name));
        }
        if (!excluded(IID_IStorage)) dest->SetClass(working_->clsid);
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE MoveElementTo(const OLECHAR* name, IStorage* dest,
                                            const OLECHAR* new_name,
                                            DWORD flags) noexcept override {
        RETURN_IF_FAILED(usable());
        if (!dest) return STG_E_INVALIDPOINTER;
        if (flags != STGMOVE_MOVE && flags != STGMOVE_COPY) return STG_E_INVALIDFLAG;
        RETURN_IF_FAILED(check_name(name));
        RETURN_IF_FAILED(check_name(new_name));
        auto it = working_->children.find(std::u16string_view(name));
        if (it == working_->children.end()) return STG_E_FILENOTFOUND;
        if (flags == STGMOVE_MOVE && !can_write(mode_)) return STG_E_ACCESSDENIED;
        const NodePtr element = it->second;
        if (element->open) return STG_E_ACCESSDENIED;
        RETURN_IF_FAILED(copy_element(*element, dest, new_name));
        return flags == STGMOVE_MOVE ? DestroyElement(name) : S_OK;
    }

    HRESULT STDMETHODCALLTYPE Commit(DWORD) noexcept override {
        RETURN_IF_FAILED(usable());
        if (!can_write(mode_)) return S_OK;
        if (transacted()) {
            try {
                const NodePtr fresh = deep_copy(*working_);
                base_->children = std::move(fresh->children);
                base_->clsid = working_->clsid;
                base_->state_bits = working_->state_bits;
                base_->mtime = working_->mtime;
            } catch (const std::bad_alloc&) {
                return STG_E_INSUFFICIENTMEMORY;
            }
            doc_->dirty = true;
        }
        return root_ ? doc_->save() : S_OK;
    }

    HRESULT STDMETHODCALLTYPE Revert() noexcept override {
        RETURN_IF_FAILED(usable());
        if (!transacted()) return S_OK;
        try {
            NodePtr fresh = deep_copy(*base_);
            revert_tree(*working_);
            working_ = std::move(fresh);
        } catch (const std::bad_alloc&) {
            return STG_E_INSUFFICIENTMEMORY;
        }
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE EnumElements(DWORD, void*, DWORD,
                                           IEnumSTATSTG** out) noexcept override {
        if (!out) return STG_E_INVALIDPOINTER;
        *out = nullptr;
        RETURN_IF_FAILED(usable());
        try {
            std::vector<NodePtr> elements;
            for (const auto& [name, child] : working_->children) elements.push_back(child);
            return enumerate(std::move(elements), 0, out);
        } catch (const std::bad_alloc&) {
            return STG_E_INSUFFICIENTMEMORY;
        }
    }

    HRESULT STDMETHODCALLTYPE DestroyElement(const OLECHAR* name) noexcept override {
        RETURN_IF_FAILED(usable());
        RETURN_IF_FAILED(check_name(name));
        if (!can_write(mode_)) return STG_E_ACCESSDENIED;
        auto it = working_->children.find(std::u16string_view(name));
        if (it == working_->children.end()) return STG_E_FILENOTFOUND;
        revert_tree(*it->second);
        working_->children.erase(it);
        changed();
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE RenameElement(const OLECHAR* old_name,
                                            const OLECHAR* new_name) noexcept override {
        RETURN_IF_FAILED(usable());
        RETURN_IF_FAILED(check_name(old_name));
        RETURN_IF_FAILED(check_name(new_name));
        if (!can_write(mode_)) return STG_E_ACCESSDENIED;
        auto& children = working_->children;
        auto it = children.find(std::u16string_view(old_name));
        if (it == children.end()) return STG_E_FILENOTFOUND;
        if (children.count(std::u16string_view(new_name))) return STG_E_FILEALREADYEXISTS;
        if (it->second->open) return STG_E_ACCESSDENIED;
        try {
            NodePtr node = it->second;
            children.erase(it);
            node->name = new_name;
            children.emplace(node->name, node);
        } catch (const std::bad_alloc&) {
            return STG_E_INSUFFICIENTMEMORY;
        }
        changed();
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE SetElementTimes(const OLECHAR* name, const FILETIME* ctime,
                                              const FILETIME*,
                                              const FILETIME* mtime) noexcept override {
        RETURN_IF_FAILED(usable());
        if (!can_write(mode_)) return STG_E_ACCESSDENIED;
        Node* node = working_.get();
        if (name) {
            RETURN_IF_FAILED(check_name(name));
            auto it = working_->children.find(std::u16string_view(name));
            if (it == working_->children.end()) return STG_E_FILENOTFOUND;
            node = it->second.get();
        }
        if (ctime) node->ctime = *ctime;
        if (mtime) node->mtime = *mtime;
        changed();
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE SetClass(REFCLSID clsid) noexcept override {
        RETURN_IF_FAILED(usable());
        if (!can_write(mode_)) return STG_E_ACCESSDENIED;
        working_->clsid = clsid;
        changed();
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE SetStateBits(DWORD bits, DWORD mask) noexcept override {
        RETURN_IF_FAILED(usable());
        if (!can_write(mode_)) return STG_E_ACCESSDENIED;
        working_->state_bits = (working_->state_bits & ~mask) | (bits & mask);
        changed();
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE Stat(STATSTG* stat, DWORD flags) noexcept override {
        RETURN_IF_FAILED(usable());
        if (!stat) return STG_E_INVALIDPOINTER;
        return stat_of(*working_, mode_, flags, *stat);
    }

  private:
    bool transacted() const { return mode_ & STGM_TRANSACTED; }

    HRESULT usable() const { return base_->reverted || working_->reverted ? STG_E_REVERTED : S_OK; }

    void changed() {
        working_->mtime = now();
        if (!transacted()) doc_->dirty = true;
    }

    // Checks common to opening and creating an element.
    HRESULT check_element(const OLECHAR* name, DWORD mode) const {
        RETURN_IF_FAILED(usable());
        RETURN_IF_FAILED(check_name(name));
        RETURN_IF_FAILED(check_mode(mode));
        if ((mode & 0x70) != kElementFlags) return STG_E_INVALIDFLAG;
        if (can_write(mode) && !can_write(mode_)) return STG_E_ACCESSDENIED;
        return S_OK;
    }

    HRESULT find(const OLECHAR* name, DWORD mode, bool storage, NodePtr& out) const {
        RETURN_IF_FAILED(check_element(name, mode));
        if (mode & (STGM_CREATE | STGM_CONVERT)) return STG_E_INVALIDFLAG;
        auto it = working_->children.find(std::u16string_view(name));
        if (it == working_->children.end() || it->second->is_storage != storage)
            return STG_E_FILENOTFOUND;
        if (it->second->open) return STG_E_ACCESSDENIED;
        out = it->second;
        return S_OK;
    }

    HRESULT create(const OLECHAR* name, DWORD mode, bool storage, NodePtr& out) {
        RETURN_IF_FAILED(check_element(name, mode));
        if (!can_write(mode_)) return STG_E_ACCESSDENIED;
        if (!storage && (mode & STGM_TRANSACTED)) return STG_E_INVALIDFUNCTION;
        auto& children = working_->children;
        auto it = children.find(std::u16string_view(name));
        if (it != children.end()) {
            if (!(mode & STGM_CREATE)) return STG_E_FILEALREADYEXISTS;
            if (it->second->open) return STG_E_ACCESSDENIED;
            revert_tree(*it->second);
            children.erase(it);
        }
        try {
            out = make_node(name, storage);
            children.emplace(out->name, out);
        } catch (const std::bad_alloc&) {
            return STG_E_INSUFFICIENTMEMORY;
        }
        changed();
        return S_OK;
    }

    static bool named_in(SNB names, const std::u16string& name) {
        for (; names && *names; ++names) {
            if (compare_names(*names, name) == 0) return true;
        }
        return false;
    }

    // Copies an element into any storage, through that storage's interface.
    static HRESULT copy_element(const Node& node, IStorage* dest, const std::u16string& name) {
        constexpr DWORD kMode = STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE;
        if (!node.is_storage) {
            com_ptr<IStream> stream;
            RETURN_IF_FAILED(dest->CreateStream(name.c_str(), kMode, 0, 0, stream.put()));
            ULONG written = 0;
            return stream->Write(node.data.data(), static_cast<ULONG>(node.data.size()), &written);
        }
        com_ptr<IStorage> storage;
        HRESULT hr = dest->OpenStorage(name.c_str(), nullptr, STGM_READWRITE | STGM_SHARE_EXCLUSIVE,
                                       nullptr, 0, storage.put());
        if (hr == STG_E_FILENOTFOUND)
            hr = dest->CreateStorage(name.c_str(), kMode, 0, 0, storage.put());
        RETURN_IF_FAILED(hr);
        storage->SetClass(node.clsid);
        storage->SetStateBits(node.state_bits, 0xFFFFFFFFu);
        for (const auto& [child_name, child] : node.children)
            RETURN_IF_FAILED(copy_element(*child, storage.get(), child_name));
        return S_OK;
    }

    std::shared_ptr<Document> doc_;
    NodePtr base_;
    NodePtr working_;
    DWORD mode_;
    bool root_;
};

}  // namespace

HRESULT open_storage(std::shared_ptr<Document> doc, NodePtr base, DWORD mode, bool is_root,
                     IStorage** out) noexcept {
    if (!base) base = doc->root;
    try {
        *out = new StorageObject(std::move(doc), std::move(base), mode, is_root);
        return S_OK;
    } catch (const std::bad_alloc&) {
        *out = nullptr;
        return STG_E_INSUFFICIENTMEMORY;
    }
}

}  // namespace qv::storage
