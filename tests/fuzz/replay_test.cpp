// Every seed of the fuzz corpora and every crash input the fuzzers ever found, through the same
// entry points as the fuzzers: a reader that once crashed must never crash again, in any build.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "fuzz_entries.h"

namespace fs = std::filesystem;

TEST(FuzzReplay, EverySeedAndRegressionInputReadsWithoutFault) {
    const fs::path root = VNA_FUZZ_DIR;
    for (const vna::fuzz::Target& target : vna::fuzz::Targets()) {
        SCOPED_TRACE(std::string(target.name));
        int seeds = 0;
        for (const char* kind : {"corpus", "regressions"}) {
            const fs::path folder = root / kind / target.name;
            if (!fs::is_directory(folder)) {
                continue;
            }
            std::vector<fs::path> files;
            for (const auto& e : fs::directory_iterator(folder)) {
                if (e.is_regular_file() && e.path().filename().string()[0] != '.') {
                    files.push_back(e.path());
                }
            }
            std::sort(files.begin(), files.end());
            for (const fs::path& f : files) {
                SCOPED_TRACE(f.string());
                std::ifstream in(f, std::ios::binary);
                const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
                target.run(bytes);
                seeds += std::string(kind) == "corpus";
            }
        }
        // A target without seeds would fuzz from nothing and replay nothing.
        EXPECT_GT(seeds, 0);
    }
}
