// Store and Recall of 10,000 variables (a quarter of each kind: vectors of 100
// elements, enumerations of 10 values, texts of 32 characters) into a storage
// in memory and a compound file on disk, beside writing the same bytes into a
// std::vector<char> (the floor); and FindVariable over 10,000 entries.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "quorvel/platform.h"
#include "quorvel/quorvel.h"
#include "quorvel_module.h"

namespace {

constexpr DWORD kMode = STGM_READWRITE | STGM_SHARE_EXCLUSIVE;
constexpr int kVariables = 10000;

qv::com_ptr<IBoundDataVariables> populated() {
    auto list = qvtest::make_object<IBoundDataVariables>(CLSID_BoundDataVariables);
    const std::u16string text(32, u'x');
    for (int i = 0; i < kVariables; ++i) {
        qv::com_ptr<IBoundDataVariable> v;
        switch (i % 4) {
            case 0: {
                auto n = qvtest::make_object<IBoundNumericVariable>(CLSID_BoundNumericVariable);
                n->put_Value(i);
                v = n;
                break;
            }
            case 1: {
                auto e = qvtest::make_object<IBoundEnumVariable>(CLSID_BoundEnumVariable);
                e->CreateOnRequest(1);
                for (LONG j = 0; j < 10; ++j) e->put_Value(j, j);
                v = e;
                break;
            }
            case 2: {
                auto vec = qvtest::make_object<IBoundNumericVectorVariable>(
                    CLSID_BoundNumericVectorVariable);
                for (LONG j = 0; j < 100; ++j) vec->put_Value(j, j * 0.5);
                v = vec;
                break;
            }
            default: {
                auto s = qvtest::make_object<IBoundStringVariable>(CLSID_BoundStringVariable);
                qv::unique_bstr b(text);
                s->put_Value(b.get());
                v = s;
                break;
            }
        }
        qv::unique_bstr name(u"V" +
                             std::u16string(std::to_string(i).begin(), std::to_string(i).end()));
        v->put_TaggedName(name.get());
        list->Add(v.get());
    }
    return list;
}

IBoundDataVariables* shared_list() {
    static qv::com_ptr<IBoundDataVariables> list = populated();
    return list.get();
}

qv::com_ptr<IStorage> memory_storage() {
    qv::com_ptr<ILockBytes> bytes;
    CreateILockBytesOnHGlobal(nullptr, TRUE, bytes.put());
    qv::com_ptr<IStorage> storage;
    StgCreateDocfileOnILockBytes(bytes.get(), kMode | STGM_CREATE, 0, storage.put());
    return storage;
}

std::u16string file_name() {
    const std::string path = "/tmp/quorvel-bench-" + std::to_string(getpid()) + ".cfb";
    return std::u16string(path.begin(), path.end());
}

void store(benchmark::State& state) {
    const bool on_disk = state.range(0);
    BSTR name = SysAllocString(u"Values");
    for (auto _ : state) {
        qv::com_ptr<IStorage> storage;
        if (on_disk) {
            StgCreateDocfile(file_name().c_str(), kMode | STGM_CREATE, 0, storage.put());
        } else {
            storage = memory_storage();
        }
        shared_list()->Store(kMode, storage.get(), &name);
        if (on_disk) storage->Commit(STGC_DEFAULT);
    }
    SysFreeString(name);
}
BENCHMARK(store)->Arg(0)->Arg(1)->ArgName("on_disk")->Unit(benchmark::kMillisecond);

void recall(benchmark::State& state) {
    const bool on_disk = state.range(0);
    BSTR name = SysAllocString(u"Values");
    qv::com_ptr<IStorage> storage;
    if (on_disk) {
        StgCreateDocfile(file_name().c_str(), kMode | STGM_CREATE, 0, storage.put());
    } else {
        storage = memory_storage();
    }
    shared_list()->Store(kMode, storage.get(), &name);
    for (auto _ : state) shared_list()->Recall(kMode, storage.get(), &name);
    SysFreeString(name);
}
BENCHMARK(recall)->Arg(0)->Arg(1)->ArgName("on_disk")->Unit(benchmark::kMillisecond);

// The same bytes appended to a vector: what writing them costs at the least.
void floor_bytes(benchmark::State& state) {
    for (auto _ : state) {
        std::vector<char> out;
        auto put = [&](const void* p, std::size_t n) {
            out.insert(out.end(), static_cast<const char*>(p), static_cast<const char*>(p) + n);
        };
        const std::uint16_t version = 2;
        const std::int32_t count = kVariables;
        put(&version, 2), put(&count, 4);
        for (int i = 0; i < kVariables; ++i) {
            const std::int32_t head[2] = {i % 4 == 0 ? 0 : i % 4 == 1 ? 1 : i % 4 == 2 ? 3 : 4, 0};
            put(head, 8);
            if (i % 4 == 0) {
                const std::int32_t flag = 1;
                const double v = i;
                put(&flag, 4), put(&v, 8);
            } else if (i % 4 == 1) {
                const std::int32_t n = 10;
                put(&n, 4);
                for (std::int32_t j = 0; j < 10; ++j) put(&j, 4);
            } else if (i % 4 == 2) {
                const std::int32_t n = 100, s = 2;
                put(&n, 4);
                for (int j = 0; j < 100; ++j) {
                    const double v = j * 0.5;
                    put(&v, 8), put(&s, 4);
                }
            } else {
                const std::int32_t n = 32;
                put(&n, 4), put(std::string(32, 'x').data(), 32);
            }
        }
        benchmark::DoNotOptimize(out.data());
    }
}
BENCHMARK(floor_bytes)->Unit(benchmark::kMillisecond);

void find_variable(benchmark::State& state) {
    qv::unique_bstr last(SysAllocString(u"V9999"));
    for (auto _ : state) {
        qv::com_ptr<IBoundDataVariable> found;
        shared_list()->FindVariable(last.get(), found.put());
        benchmark::DoNotOptimize(found.get());
    }
}
BENCHMARK(find_variable)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
