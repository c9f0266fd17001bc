// Costs of the engine's hot paths: name lookups, expression evaluation and
// script decoding. Run build/bench/vorly-bench.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "script/BulletML_Node_Number.h"
#include "script/VecParam.h"
#include "services/CHC_Mem_ii.h"
#include "services/HuffmanEncoder.h"
#include "services/NamePool.h"

static void NamePoolInternExisting(benchmark::State& state) {
    std::vector<std::string> names;
    for (int i = 0; i < 1000; ++i) names.push_back("bench_variable_" + std::to_string(i));
    for (const std::string& name : names) internName(name);
    size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(internName(names[i++ % names.size()]));
    }
}
BENCHMARK(NamePoolInternExisting);

static void ExpressionEvaluate(benchmark::State& state) {
    BulletML_Node_Number number;
    number.setText("($1+2.5)*3-$2/4+($1%7)");
    VecParam params;
    params.count = 2;
    params.values[0] = 10.0f;
    params.values[1] = 8.0f;
    for (auto _ : state) {
        benchmark::DoNotOptimize(number.evaluate(&params, nullptr));
    }
}
BENCHMARK(ExpressionEvaluate);

static void HuffmanDecodeScript(benchmark::State& state) {
    std::string text;
    while (text.size() < 256 * 1024) {
        text += "<action label=\"top\"><fire><direction type=\"aim\">$rand*30-15</direction>"
                "<speed>2+$rank</speed><bulletref label=\"b\"/></fire><wait>10</wait></action>\n";
    }
    std::vector<std::uint8_t> coded =
        huffman_encoder::encode(reinterpret_cast<const std::uint8_t*>(text.data()),
                                static_cast<std::uint32_t>(text.size()));
    CHC_Mem_ii decoder;
    for (auto _ : state) {
        benchmark::DoNotOptimize(decoder.decode(coded.data(), static_cast<std::uint32_t>(coded.size())));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(text.size()));
}
BENCHMARK(HuffmanDecodeScript);
