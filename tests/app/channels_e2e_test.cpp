// vna-cli channels end to end: vna-sim's six-way MUX on its pseudo-terminal, each channel's line
// with its own loss, phase and delay, read against channel 1; then channels without a cal file and
// a MUX that refuses a channel.

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <sstream>
#include <string>

#include "app/process_support.h"

using namespace vna;

namespace {

struct Row {
    bool found = false;
    double db = 0;
    double deg = 0;
    std::string text;
};

// The line "chan K: ..." of the output.
Row ChannelRow(const std::string& out, int k) {
    Row r;
    std::istringstream in(out);
    std::string line;
    const std::string key = "chan " + std::to_string(k) + ":";
    while (std::getline(in, line)) {
        if (line.rfind(key, 0) == 0) {
            r.found = true;
            r.text = line.substr(key.size());
            std::istringstream v(r.text);
            std::string unit;
            v >> r.db >> unit >> r.deg;
        }
    }
    return r;
}

double Wrap(double deg) {
    deg = std::remainder(deg, 360.0);
    return deg <= -180 ? deg + 360 : deg;
}

} // namespace

TEST(ChannelsEndToEnd, TheMuxChannelsAgainstChannelOneAndWhatGoesWrong) {
    test::TempDir files;
    const std::string unitCal = files.file("unit.acal");
    test::Simulator sim({"--dut", "through", "--mux", "--write-cal", unitCal});
    const std::string data = sim.folder() + "data";
    // Each channel's line: loss (dB), phase (degrees) and delay (ns); channel 1 is not ideal either.
    const double db[7] = {0, -0.4, -1.7, -3.2, 0.8, -6.0, -0.9};
    const double deg[7] = {0, 12, 55, -80, 140, -160, 25};
    const double ns[7] = {0, 0.5, 1.3, 2.9, 0.2, 4.4, 7.1};
    for (int k = 1; k <= 6; ++k) {
        std::ostringstream c;
        c << "mux " << k << " db=" << db[k] << " deg=" << deg[k] << " ns=" << ns[k];
        ASSERT_EQ(sim.ctl(c.str()), "ok\n") << c.str();
    }
    const double f = 12.5;
    auto channels = [&](const std::string& cal) {
        return test::RunProgram({VNA_CLI_EXE, "--data-dir", data, "--serial", sim.link(), "channels",
                                 "--freq", "12.5", "--cal", cal},
                                std::chrono::seconds(60));
    };
    // The unit's own cal file serves every channel: what is left is each line against channel 1's.
    test::Output o = channels(unitCal);
    ASSERT_EQ(o.status, 0) << o.out << o.err << sim.log();
    for (int k = 2; k <= 6; ++k) {
        const Row r = ChannelRow(o.out, k);
        ASSERT_TRUE(r.found) << k << "\n" << o.out;
        // Within 0.1 dB and 1 degree of the lines' own values.
        EXPECT_NEAR(r.db, db[k] - db[1], 0.1) << k << "\n" << o.out;
        EXPECT_NEAR(Wrap(r.deg - (deg[k] - deg[1] - 360 * f * 1e6 * (ns[k] - ns[1]) * 1e-9)), 0, 1.0)
            << k << "\n"
            << o.out;
    }

    // Channel files of a multichannel cal, channels 4 to 6 missing: reported, the others measured.
    for (int k = 1; k <= 3; ++k) {
        std::filesystem::copy_file(unitCal, files.file("array.chan" + std::to_string(k)));
    }
    o = channels(files.file("array.chan1"));
    EXPECT_EQ(o.status, 0) << o.out << o.err;
    EXPECT_NEAR(ChannelRow(o.out, 3).db, db[3] - db[1], 0.1) << o.out;
    for (int k = 4; k <= 6; ++k) {
        EXPECT_EQ(ChannelRow(o.out, k).text, "      no cal file") << o.out;
        EXPECT_NE(o.err.find("MUX channel " + std::to_string(k) + " has no cal file"), std::string::npos)
            << o.err;
    }

    // A MUX that will not switch to channel 4: that channel fails, the others are read.
    ASSERT_EQ(sim.ctl("fault muxrefuse=4"), "ok\n");
    const auto start = std::chrono::steady_clock::now();
    o = channels(unitCal);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
    EXPECT_EQ(o.status, 1) << o.out << o.err;
    EXPECT_NE(ChannelRow(o.out, 4).text.find("the MUX did not switch"), std::string::npos) << o.out;
    EXPECT_NEAR(ChannelRow(o.out, 5).db, db[5] - db[1], 0.1) << o.out;
    EXPECT_NE(o.err.find("vna-cli: error 1: 1 channel with a cal file gave no reading"), std::string::npos)
        << o.err;
    // Channel 1, the reference, without a cal file: nothing is measured.
    o = channels(files.file("none.chan1"));
    EXPECT_EQ(o.status, 1);
    EXPECT_NE(o.err.find("was not found"), std::string::npos) << o.err;
}
