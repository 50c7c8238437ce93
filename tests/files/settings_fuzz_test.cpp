// Random and mutated files fed to the init and config readers, with fixed seeds: the readers must
// never crash, never leave a value outside its limits, and never rewrite a file they did not read.

#include <cmath>
#include <gtest/gtest.h>
#include <random>

#include "core/atomic_file.h"
#include "files/config_file.h"
#include "files/default_config.h"
#include "settings_files.h"

using namespace vna;

namespace {

const std::vector<std::string> NastyValues = {"1e999",
                                              "-1e999",
                                              "nan",
                                              "inf",
                                              "--5",
                                              "",
                                              " ",
                                              "L",
                                              "10LL",
                                              "4145",
                                              "-0",
                                              "0x1F",
                                              "1e-320",
                                              "\t\t7",
                                              std::string(100000, '9'),
                                              std::string(3000, 'x'),
                                              "band=",
                                              "station=",
                                              "outputfile=",
                                              "END of config",
                                              "//",
                                              "0, 0, 0",
                                              "1.8 2.0 100 band=B",
                                              "controlfile=C:\\X",
                                              std::string("\0\0\0", 3)};

std::string RandomBytes(std::mt19937& rng, std::size_t maxLength) {
    std::uniform_int_distribution<std::size_t> length(0, maxLength);
    std::uniform_int_distribution<int> byte(0, 255);
    std::string s(length(rng), '\0');
    for (char& c : s) {
        c = static_cast<char>(byte(rng));
    }
    return s;
}

// One of several kinds of damage to a good file; the first line mostly stays intact so that the
// reader goes on into the rest.
std::string Mutate(const std::string& good, std::mt19937& rng) {
    std::uniform_int_distribution<int> kind(0, 6);
    auto lines = test::Lines(good);
    std::uniform_int_distribution<std::size_t> anyLine(1, lines.size() - 1);
    std::uniform_int_distribution<std::size_t> nasty(0, NastyValues.size() - 1);
    switch (kind(rng)) {
        case 0: { // flipped bytes
            std::string text = good;
            std::uniform_int_distribution<std::size_t> pos(0, text.size() - 1);
            std::uniform_int_distribution<int> byte(0, 255);
            for (int k = std::uniform_int_distribution<int>(1, 12)(rng); k > 0; --k) {
                text[pos(rng)] = static_cast<char>(byte(rng));
            }
            return text;
        }
        case 1: // damaged values
            for (int k = std::uniform_int_distribution<int>(1, 8)(rng); k > 0; --k) {
                const std::size_t i = anyLine(rng);
                lines[i] = (rng() % 2 ? lines[i].substr(0, lines[i].find(' ') + 1) : std::string()) +
                           NastyValues[nasty(rng)];
            }
            return test::JoinCrLf(lines);
        case 2: // lines lost
            for (int k = std::uniform_int_distribution<int>(1, 20)(rng); k > 0 && lines.size() > 2; --k) {
                lines.erase(lines.begin() + static_cast<long>(std::uniform_int_distribution<std::size_t>(
                                                1, lines.size() - 1)(rng)));
            }
            return test::JoinCrLf(lines);
        case 3: // lines doubled
            for (int k = std::uniform_int_distribution<int>(1, 20)(rng); k > 0; --k) {
                const std::size_t i = anyLine(rng);
                lines.insert(lines.begin() + static_cast<long>(i), lines[i]);
            }
            return test::JoinCrLf(lines);
        case 4: // cut short
            return good.substr(0, std::uniform_int_distribution<std::size_t>(0, good.size())(rng));
        case 5: // random lines
            for (int k = std::uniform_int_distribution<int>(1, 10)(rng); k > 0; --k) {
                lines[anyLine(rng)] = RandomBytes(rng, 200);
            }
            return test::JoinCrLf(lines);
        default: // noise
            return RandomBytes(rng, 6000);
    }
}

bool In(double v, double lo, double hi) {
    return std::isfinite(v) && v >= lo && v <= hi;
}

void CheckInitLimits(const core::AppState& st, const std::string& what) {
    SCOPED_TRACE(what.substr(0, 200));
    EXPECT_TRUE(In(st.freq, 0.005, 180));
    EXPECT_TRUE(In(st.start_freq, 0.005, 180));
    EXPECT_TRUE(In(st.end_freq, 0.005, 180));
    EXPECT_GE(st.end_freq - st.start_freq, 0.0001);
    EXPECT_TRUE(std::isfinite(st.delta_freq));
    EXPECT_TRUE(In(st.Zo, 3.1, 1000));
    EXPECT_TRUE(In(st.freq_comp, 0.9, 1.1));
    EXPECT_TRUE(st.average >= 1 && st.average <= 256);
    EXPECT_TRUE(st.trend >= 0 && st.trend <= 20);
    EXPECT_TRUE(st.DDSdelay >= 0 && st.DDSdelay <= 31);
    EXPECT_TRUE(In(st.avgweight, 0.125, 1));
    EXPECT_GE(st.delta_freq, 0.0000001);
    EXPECT_GE(st.Z0real, 3.1);
    EXPECT_TRUE(st.PortA_Sens == 1 || st.PortA_Sens == 2);
    EXPECT_TRUE(st.PortB_Sens == 1 || st.PortB_Sens == 2);
    EXPECT_TRUE(st.s21phase_scale == 0 || In(st.s21phase_scale, 1, 200));
    EXPECT_LE(std::fabs(st.rtloss_scale), 80);
    EXPECT_GE(st.WinHeight, 100);
    EXPECT_GE(st.WinWidth, 200);
    EXPECT_TRUE(In(st.Zextension, 1, 1000));
    EXPECT_TRUE(In(st.ExtensionVP, 0.5, 1));
    EXPECT_TRUE(std::isfinite(st.ExtensionAngle));
    for (core::Flag f : {st.plot_swr, st.plot_s11, st.plot_Q, st.PortB_on, st.autorange, st.voice, st.swrLog,
                         st.DdsPowerOn, st.trendOn, st.highlight, st.plot_at_zero}) {
        EXPECT_TRUE(f == 0 || f == 1);
    }
    for (const std::string* s :
         {&st.config_file_name, &st.cal_file_name, &st.initSpareLine, &st.cal_folder, &st.cal_file,
          &st.config_file, &st.scan_file, &st.marker_folder, &st.instrument_id}) {
        EXPECT_LE(s->size(), 255u);
        EXPECT_EQ(s->find_first_of("\r\n"), std::string::npos);
    }
    EXPECT_LE(st.markers.markerCount, 20);
    EXPECT_TRUE(st.markers.markerNext >= 0 && st.markers.markerNext <= 20);
    for (int k = 1; k <= 20; ++k) {
        EXPECT_GE(st.markers.slot[static_cast<std::size_t>(k)][0], 0.001);
    }
    for (core::Rgb c : {st.RedColor, st.Green, st.LightBlue, st.LightOrange}) {
        EXPECT_LE(c, 0xFFFFFFu);
    }
    EXPECT_EQ(st.NumDecimals, 3);
}

} // namespace

TEST(SettingsFuzz, InitReaderTakesAnyFile) {
    std::mt19937 rng(4145);
    auto good = test::DefaultRig();
    good->st().markers.slot[2][0] = 7.1;
    good->st().cal_file = "/cal/a.chan2";
    const std::string base = files::InitFileText(good->p(), 0);
    // Three readers, each put back to the defaults before every file.
    auto rig = test::DefaultRig();
    auto again = test::DefaultRig();
    auto third = test::DefaultRig();
    const auto read = [](test::TestRig& r, const std::string& text) {
        core::ResetToDefaults(r.st(), 2026, 12, 7);
        test::WriteFile(r.dir.file(files::InitFileName), text);
        files::ReadInitFile(r.p());
    };
    for (int i = 0; i < 1000; ++i) {
        const std::string text = Mutate(base, rng);
        read(*rig, text);
        CheckInitLimits(rig->st(), text);
        // What the reader made of it is written out and read back the same, with no NaN or
        // infinity anywhere in the file.
        const std::string written = files::InitFileText(rig->p(), 0);
        for (const char* bad : {" nan", " inf", " -inf", " -nan"}) {
            const std::size_t at = written.find(bad);
            EXPECT_EQ(at, std::string::npos) << written.substr(written.rfind('\n', at) + 1, 40);
        }
        read(*again, written);
        read(*third, files::InitFileText(again->p(), 0));
        EXPECT_EQ(test::InitTextWithoutMsec(again->p()), test::InitTextWithoutMsec(third->p())) << i;
    }
}

TEST(SettingsFuzz, ConfigReaderTakesAnyFile) {
    std::mt19937 rng(251);
    const std::string base(files::DefaultConfigText());
    int complete = 0;
    for (int i = 0; i < 600; ++i) {
        const std::string text = Mutate(base, rng);
        auto rig = test::DefaultRig();
        const std::string path = rig->dir.file("fuzz.cfg");
        rig->st().config_file = path;
        test::WriteFile(path, text);
        files::ReadConfigFile(rig->p(), i % 2);
        const auto& st = rig->st();
        SCOPED_TRACE(text.substr(0, 200));
        EXPECT_TRUE(st.graphFontSize >= 3 && st.graphFontSize <= 10);
        EXPECT_TRUE(st.maxScanPoints == 0 || (st.maxScanPoints >= 20 && st.maxScanPoints <= 30010));
        EXPECT_TRUE(In(st.smithSize, 0.5, 3));
        EXPECT_TRUE(st.voiceDecimals == 1 || st.voiceDecimals == 2);
        EXPECT_TRUE(st.reservedLimit >= 0 && st.reservedLimit <= 1024);
        EXPECT_GE(st.zStepTolerance, 0);
        EXPECT_GE(st.WinWidth, 200);
        EXPECT_GE(st.WinHeight, 100);
        EXPECT_TRUE(std::isfinite(st.parkFreq) && std::isfinite(st.dspthreshold) &&
                    std::isfinite(st.dspthreshold_factor));
        EXPECT_LE(st.configHeader.size(), 255u);
        for (const std::string* s : {&st.outputfile, &st.controlfile, &st.voicefilefolder}) {
            EXPECT_LE(s->size(), 255u);
        }
        for (int k = 1; k <= 16; ++k) {
            const core::Band& b = st.bandTable[static_cast<std::size_t>(k)];
            EXPECT_TRUE(std::isfinite(b.start) && std::isfinite(b.end) && std::isfinite(b.step));
            EXPECT_LE(b.name.size(), 255u);
        }
        if (st.ConfigLoaded) {
            ++complete;
            EXPECT_EQ(test::ReadFile(rig->dir.file("LastVNA.cfg")), test::ReadFile(path));
        } else {
            EXPECT_EQ(test::ReadFile(path), text);
            EXPECT_FALSE(core::FileExists(rig->dir.file("LastVNA.cfg")));
        }
    }
    // The mutations are mild enough that some files still read completely.
    EXPECT_GT(complete, 10);
}
