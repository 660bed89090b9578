// Element and value access by index or offset: a vector of 10^6 elements
// (dense and sparse indices) and an enumeration of 10^5 offsets, beside the
// same number of hash-map operations for scale.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>
#include <unordered_map>
#include <vector>

#include "quorvel/platform.h"
#include "quorvel/quorvel.h"
#include "quorvel_module.h"

namespace {

std::vector<LONG> indices(std::size_t count, bool sparse) {
    std::vector<LONG> out(count);
    std::uint32_t x = 12345;
    for (std::size_t i = 0; i < count; ++i) {
        x = x * 1664525u + 1013904223u;  // spread over the whole 32-bit range
        out[i] = sparse ? static_cast<LONG>(x) : static_cast<LONG>(i);
    }
    return out;
}

void vector_put_get(benchmark::State& state) {
    const auto keys = indices(1000000, state.range(0));
    for (auto _ : state) {
        auto v = qvtest::make_object<IBoundNumericVectorVariable>(CLSID_BoundNumericVectorVariable);
        for (LONG k : keys) v->put_Value(k, 1.5);
        double sum = 0, value = 0;
        for (LONG k : keys) {
            v->get_Value(k, &value);
            sum += value;
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(keys.size()) * 2);
}
BENCHMARK(vector_put_get)->Arg(0)->Arg(1)->ArgName("sparse")->Unit(benchmark::kMillisecond);

void enum_put_get(benchmark::State& state) {
    const auto keys = indices(100000, false);
    for (auto _ : state) {
        auto v = qvtest::make_object<IBoundEnumVariable>(CLSID_BoundEnumVariable);
        v->CreateOnRequest(1);
        for (LONG k : keys) v->put_Value(k, k);
        LONG sum = 0, value = 0;
        for (LONG k : keys) {
            v->get_Value(k, &value);
            sum += value;
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(keys.size()) * 2);
}
BENCHMARK(enum_put_get)->Unit(benchmark::kMillisecond);

// The same operations on a bare hash map: what a lookup by key costs.
void hash_map_floor(benchmark::State& state) {
    const auto keys = indices(1000000, state.range(0));
    for (auto _ : state) {
        std::unordered_map<LONG, double> map;
        for (LONG k : keys) map[k] = 1.5;
        double sum = 0;
        for (LONG k : keys) sum += map.find(k)->second;
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(keys.size()) * 2);
}
BENCHMARK(hash_map_floor)->Arg(0)->Arg(1)->ArgName("sparse")->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
