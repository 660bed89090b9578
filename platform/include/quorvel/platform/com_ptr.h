// qv::com_ptr: an owning interface pointer (one counted reference).
#pragma once

#include <type_traits>
#include <utility>

#include "quorvel/platform/unknown.h"

namespace qv {

template <class T>
class com_ptr {
  public:
    com_ptr() noexcept = default;
    com_ptr(std::nullptr_t) noexcept {}
    // Takes a new reference on `p`.
    explicit com_ptr(T* p) noexcept : p_(p) {
        if (p_) p_->AddRef();
    }
    com_ptr(const com_ptr& o) noexcept : com_ptr(o.p_) {}
    com_ptr(com_ptr&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
    // From a pointer to an implementation or a derived interface.
    template <class U, class = std::enable_if_t<std::is_convertible_v<U*, T*>>>
    com_ptr(const com_ptr<U>& o) noexcept : com_ptr(static_cast<T*>(o.get())) {}
    ~com_ptr() { reset(); }

    com_ptr& operator=(com_ptr o) noexcept {
        std::swap(p_, o.p_);
        return *this;
    }

    T* get() const noexcept { return p_; }
    T* operator->() const noexcept { return p_; }
    T& operator*() const noexcept { return *p_; }
    explicit operator bool() const noexcept { return p_ != nullptr; }

    void reset() noexcept {
        if (T* p = std::exchange(p_, nullptr)) p->Release();
    }
    // Adopts `p` without taking a reference.
    void attach(T* p) noexcept {
        reset();
        p_ = p;
    }
    // Gives up ownership without releasing.
    [[nodiscard]] T* detach() noexcept { return std::exchange(p_, nullptr); }
    // Releases what is held and offers the slot to an out-parameter.
    T** put() noexcept {
        reset();
        return &p_;
    }
    void** put_void() noexcept { return reinterpret_cast<void**>(put()); }

    // Hands a new reference to an out-parameter.
    void copy_to(T** pp) const noexcept {
        if (p_) p_->AddRef();
        *pp = p_;
    }
    template <class Q>
    HRESULT query_to(Q** pp) const noexcept {
        return p_->QueryInterface(iid_of<Q>, reinterpret_cast<void**>(pp));
    }
    // QueryInterface for Q; an empty pointer when the object does not answer it.
    template <class Q>
    com_ptr<Q> try_as() const noexcept {
        com_ptr<Q> q;
        if (p_) p_->QueryInterface(iid_of<Q>, q.put_void());
        return q;
    }

  private:
    T* p_ = nullptr;
};

template <class T, class U>
bool operator==(const com_ptr<T>& a, const com_ptr<U>& b) noexcept {
    return a.get() == b.get();
}

}  // namespace qv
