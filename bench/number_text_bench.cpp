// Cost of the number rules, which every file reader and writer runs for every value: a
// 30 000-point scan file has about 450 000 numbers.

#include <benchmark/benchmark.h>
#include <random>
#include <string>
#include <vector>

#include "core/number_text.h"

static void NumTextFifteenDecimals(benchmark::State& state) {
    std::mt19937 rng(1);
    std::uniform_real_distribution<double> d(-1000, 1000);
    std::vector<double> values(1024);
    for (double& v : values) {
        v = d(rng);
    }
    std::string out;
    std::size_t i = 0;
    for (auto _ : state) {
        out.clear();
        vna::core::AppendNumText(out, values[i++ & 1023], 15);
        benchmark::DoNotOptimize(out.data());
    }
}
BENCHMARK(NumTextFifteenDecimals);

static void TextToNumberFifteenDecimals(benchmark::State& state) {
    std::vector<std::string> texts;
    std::mt19937 rng(2);
    std::uniform_real_distribution<double> d(-1000, 1000);
    for (int k = 0; k < 1024; ++k) {
        texts.push_back(vna::core::NumText(d(rng), 15));
    }
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(vna::core::TextToNumber(texts[i++ & 1023]));
    }
}
BENCHMARK(TextToNumberFifteenDecimals);

static void PictureTwoFields(benchmark::State& state) {
    for (auto _ : state) {
        benchmark::DoNotOptimize(vna::core::FormatPicture("###.##  ##.##j", {50.0, -25.125}));
    }
}
BENCHMARK(PictureTwoFields);
