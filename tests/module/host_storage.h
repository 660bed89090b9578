// A host's own storage and stream, to see Store and Recall meet failures.
#pragma once

#include <vector>

#include "module_host.h"

namespace qvtest {

// A stream over bytes in memory whose writes or reads fail after a number of bytes.
class HostStream final : public qv::implements<HostStream, IStream> {
  public:
    std::vector<unsigned char> bytes;
    std::size_t position = 0;
    std::size_t fail_writes_after = SIZE_MAX;
    std::size_t fail_reads_after = SIZE_MAX;

    HRESULT STDMETHODCALLTYPE Read(void* pv, ULONG cb, ULONG* read) override {
        if (read) *read = 0;
        if (position + cb > fail_reads_after) return STG_E_READFAULT;
        const std::size_t n =
            position >= bytes.size() ? 0 : std::min<std::size_t>(cb, bytes.size() - position);
        std::copy_n(bytes.begin() + static_cast<long>(position), n,
                    static_cast<unsigned char*>(pv));
        position += n;
        if (read) *read = static_cast<ULONG>(n);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Write(const void* pv, ULONG cb, ULONG* written) override {
        if (written) *written = 0;
        if (position + cb > fail_writes_after) return STG_E_MEDIUMFULL;
        if (position + cb > bytes.size()) bytes.resize(position + cb);
        std::copy_n(static_cast<const unsigned char*>(pv), cb,
                    bytes.begin() + static_cast<long>(position));
        position += cb;
        if (written) *written = cb;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Seek(LARGE_INTEGER, DWORD, ULARGE_INTEGER*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE SetSize(ULARGE_INTEGER) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CopyTo(IStream*, ULARGE_INTEGER, ULARGE_INTEGER*,
                                     ULARGE_INTEGER*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Commit(DWORD) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Revert() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Stat(STATSTG*, DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Clone(IStream**) override { return E_NOTIMPL; }
};

// A storage holding one stream; CreateStream may be told to fail.
class HostStorage final : public qv::implements<HostStorage, IStorage> {
  public:
    qv::com_ptr<HostStream> stream = qv::make<HostStream>();
    bool refuse_create = false;

    HRESULT STDMETHODCALLTYPE CreateStream(const OLECHAR*, DWORD, DWORD, DWORD,
                                           IStream** out) override {
        *out = nullptr;
        if (refuse_create) return STG_E_ACCESSDENIED;
        stream->bytes.clear();
        return open(out);
    }
    HRESULT STDMETHODCALLTYPE OpenStream(const OLECHAR*, void*, DWORD, DWORD,
                                         IStream** out) override {
        return open(out);
    }
    HRESULT STDMETHODCALLTYPE CreateStorage(const OLECHAR*, DWORD, DWORD, DWORD,
                                            IStorage**) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE OpenStorage(const OLECHAR*, IStorage*, DWORD, SNB, DWORD,
                                          IStorage**) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE CopyTo(DWORD, const IID*, SNB, IStorage*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE MoveElementTo(const OLECHAR*, IStorage*, const OLECHAR*,
                                            DWORD) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Commit(DWORD) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Revert() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE EnumElements(DWORD, void*, DWORD, IEnumSTATSTG**) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE DestroyElement(const OLECHAR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE RenameElement(const OLECHAR*, const OLECHAR*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE SetElementTimes(const OLECHAR*, const FILETIME*, const FILETIME*,
                                              const FILETIME*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE SetClass(REFCLSID) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetStateBits(DWORD, DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Stat(STATSTG*, DWORD) override { return E_NOTIMPL; }

  private:
    HRESULT open(IStream** out) {
        stream->position = 0;
        *out = stream.get();
        stream->AddRef();
        return S_OK;
    }
};

}  // namespace qvtest
