// The marker file and the marker text export: written and read back, free slots, and damaged files.

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "core/app_state.h"
#include "core/text_lines.h"
#include "files/marker_file.h"

using namespace vna;

namespace {

core::MarkerTable FreeTable() {
    core::MarkerTable t;
    for (int k = 1; k <= core::MarkerSlots; ++k) {
        t.slot[static_cast<std::size_t>(k)].fill(0);
        t.slot[static_cast<std::size_t>(k)][0] = core::MarkerNotSet;
    }
    return t;
}

std::string ReplaceLine(const std::string& text, int line, const std::string& with) {
    const auto lines = core::SplitLines(text);
    std::string out;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        out += (static_cast<int>(i) == line ? with : std::string(lines[i])) + "\r\n";
    }
    return out;
}

} // namespace

TEST(MarkerFile, WrittenAndReadBackIdenticalAndAllFreeSlotsHold9999) {
    core::MarkerTable t = FreeTable();
    const std::string free = files::MarkerFileText(t);
    const auto lines = core::SplitLines(free);
    ASSERT_EQ(lines.size(), 120u);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        EXPECT_EQ(lines[i], i % 6 == 0 ? " 9999" : " 0") << i;
    }
    t.slot[1] = {7.0123456789, 33.25, -12.5, 0, -0.36, 1.6123, 12.75, 0, 0, 0, 0};
    t.slot[2] = {14.2, 1e-5, 2500.125, 0, 1.5707, 999, 0.01, 0, 0, 0, 0};
    const std::string text = files::MarkerFileText(t);
    core::MarkerTable back = FreeTable();
    std::string error;
    int freed = -1;
    ASSERT_TRUE(files::ReadMarkerFile(text, 180, back, error, freed)) << error;
    EXPECT_EQ(freed, 0);
    EXPECT_EQ(files::MarkerFileText(back), text);
    EXPECT_NEAR(back.slot[1][0], 7.0123456789, 1e-12);
    EXPECT_DOUBLE_EQ(back.slot[2][2], 2500.125);
}

TEST(MarkerFile, ShortDamagedAndOutOfRangeFilesAreRefusedOrFreedAndTheTableKept) {
    core::MarkerTable t = FreeTable();
    t.slot[1][0] = 7.05;
    t.slot[2][0] = 10.1;
    const std::string good = files::MarkerFileText(t);
    core::MarkerTable table = FreeTable();
    table.slot[5][0] = 3.5; // what the program holds before the load
    const core::MarkerTable before = table;
    std::string error;
    int freed = 0;
    const auto refused = [&](const std::string& text, const std::string& why) {
        error.clear();
        EXPECT_FALSE(files::ReadMarkerFile(text, 180, table, error, freed)) << why;
        EXPECT_FALSE(error.empty()) << why;
        EXPECT_EQ(table.slot, before.slot) << why;
    };
    refused(good.substr(0, good.size() / 2), "short");
    refused("", "empty");
    refused(ReplaceLine(good, 7, " 1O.5"), "a letter in a number");
    refused(ReplaceLine(good, 0, " nan"), "NaN");
    refused(ReplaceLine(good, 3, "garbage"), "text");
    EXPECT_NE(error.find("Line 4"), std::string::npos) << error;

    // A negative frequency and one above the top of the instrument free their slots; a value too
    // large for a number stays finite.
    std::string odd = ReplaceLine(good, 0, " -3");
    odd = ReplaceLine(odd, 6, " 500");
    odd = ReplaceLine(odd, 13, " 1e999");
    ASSERT_TRUE(files::ReadMarkerFile(odd, 180, table, error, freed)) << error;
    EXPECT_EQ(freed, 2);
    for (int k = 1; k <= 2; ++k) {
        EXPECT_EQ(table.slot[static_cast<std::size_t>(k)][0], core::MarkerCleared) << k;
    }
    for (int k = 1; k <= core::MarkerSlots; ++k) {
        for (const double v : table.slot[static_cast<std::size_t>(k)]) {
            EXPECT_TRUE(std::isfinite(v));
        }
    }
}

TEST(MarkerFile, TextExportHasTwoHeaderLinesAndOneLinePerMarker) {
    core::MarkerTable t = FreeTable();
    t.slot[1] = {7.0, 30, 40, 0, 0.9273, 2.5, 7.36, 0, 0, 0, 0};
    t.slot[2] = {7.1, 50, 0, 0, 0, 1, 60, 0, 0, 0, 0};
    t.slot[3] = {7.2, 10, -5, 0, -0.4636, 5.1, 3.4, 0, 0, 0, 0};
    platform::LocalTime now;
    now.year = 2024;
    now.month = 3;
    now.day = 9;
    now.hour = 14;
    now.minute = 5;
    now.second = 7;
    const std::string text = files::MarkerExportText(t, 3, now);
    const auto lines = core::SplitLines(text);
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[0], "Created: 03-09-2024  14:05:07");
    EXPECT_EQ(lines[1], " Marker,  Freq,  SWR, SWR_Ratio,  Rs,  Xs,  Zmag, Phase");
    EXPECT_EQ(lines[2], "  1,  7.0000,  2.5000, 0.0000, 30.000, 40.000, 50.000, 53.131");
    EXPECT_EQ(files::MarkerExportPath("/x/band.mrk"), "/x/band.mrx");
}
