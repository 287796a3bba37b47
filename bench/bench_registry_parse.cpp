// Reading and writing the registry file grows in proportion to the number of values: 80,000
// values in one key and 300,000 spread over many keys must parse in well under a second.
#include <benchmark/benchmark.h>

#include <string>

#include "platform/registry_format.h"

namespace rf = qvx::registry_format;

namespace {

std::string RegistryText(int values, int keys) {
    std::string text;
    for (int key = 0; key < keys; ++key) {
        text += "[Software\\Korvane\\Export\\Card\\Station " + std::to_string(key) + "]\n";
        for (int value = 0; value < values / keys; ++value)
            text += "\"Value " + std::to_string(value) + "\"=str:\"some text\"\n";
        text += "; a comment kept as it is\n";
    }
    return text;
}

void BM_ParseRegistry(benchmark::State& state) {
    const std::string text = RegistryText(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    for (auto _ : state) {
        rf::Document document = rf::Parse(text);
        benchmark::DoNotOptimize(document);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_ParseRegistry)->Args({80000, 1})->Args({300000, 1})->Args({300000, 3000})->Unit(benchmark::kMillisecond);

void BM_ParseAndFormatRegistry(benchmark::State& state) {
    const std::string text = RegistryText(static_cast<int>(state.range(0)), 100);
    for (auto _ : state) {
        std::string written = rf::Format(rf::Parse(text));
        benchmark::DoNotOptimize(written);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_ParseAndFormatRegistry)->Arg(80000)->Arg(300000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
