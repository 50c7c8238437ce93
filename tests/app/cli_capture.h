#pragma once

// vna-cli's command line run in-process on a program, with what it prints captured.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/cli.h"
#include "core/program.h"

namespace vna::test {

struct Captured {
    int status = 0;
    std::string out;
    std::string err;
};

// A command line that does not parse fails the test and comes back with status 2 and the reason.
inline Captured RunCliCaptured(core::Program& p, const std::vector<std::string>& args) {
    std::string error;
    const auto options = app::ParseCliOptions(args, nullptr, error);
    EXPECT_TRUE(options) << error;
    if (!options) {
        return {2, "", error};
    }
    char* outText = nullptr;
    char* errText = nullptr;
    std::size_t outSize = 0, errSize = 0;
    std::FILE* out = ::open_memstream(&outText, &outSize);
    std::FILE* err = ::open_memstream(&errText, &errSize);
    Captured c;
    c.status = app::RunCli(p, *options, out, err);
    std::fclose(out);
    std::fclose(err);
    c.out = outText;
    c.err = errText;
    std::free(outText);
    std::free(errText);
    return c;
}

} // namespace vna::test
