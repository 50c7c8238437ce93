// The scan file, CSV and Touchstone formats on their own: number lines, stamps, the Touchstone
// reader's variants and the even frequency grid.

#include <gtest/gtest.h>

#include <cmath>

#include "core/app_state.h"
#include "files/csv_export.h"
#include "files/even_grid.h"
#include "files/scan_format.h"
#include "files/touchstone.h"
#include "platform/clock.h"

using namespace vna;
using files::TouchstoneData;

namespace {

TouchstoneData Parse(const std::string& text, int ports = 1) {
    std::string problem;
    auto d = files::ParseTouchstone(text, ports, problem);
    EXPECT_TRUE(d) << problem << "\n" << text;
    return d.value_or(TouchstoneData{});
}

std::string Problem(const std::string& text, int ports = 1) {
    std::string problem;
    EXPECT_FALSE(files::ParseTouchstone(text, ports, problem)) << text;
    return problem;
}

void ExpectS(const std::complex<double>& v, double re, double im) {
    EXPECT_NEAR(v.real(), re, 1e-9);
    EXPECT_NEAR(v.imag(), im, 1e-9);
}

} // namespace

TEST(ScanFormat, StrictNumbersAndStamps) {
    EXPECT_EQ(files::StrictNumber(" 12.5"), 12.5);
    EXPECT_EQ(files::StrictNumber("\t-3e-2  \r"), -0.03);
    EXPECT_EQ(files::StrictNumber("0"), 0.0);
    for (const char* bad : {"", "   ", "nan", "NaN", " 1.#QNAN", "-1.#IND", "inf", "-Infinity", "1e999",
                            "12 ohm", "1,5", "--1", "0x10"}) {
        EXPECT_FALSE(files::StrictNumber(bad)) << bad;
    }
    EXPECT_EQ(files::ScanStamp({2026, 12, 7, 12, 0, 0, 0}), "Dec 7, 26  12:00:00");
    EXPECT_EQ(files::ScanStamp({2009, 1, 31, 0, 5, 9, 0}), "Jan 31, 09  00:05:09");
}

TEST(ScanFormat, ParseAndFormatAreInverse) {
    files::ScanFileA a;
    a.stamp = "May 1, 24  10:00:00";
    a.plotAtZero = true;
    a.start = 0.5;
    a.end = 30.25;
    a.step = 0.125;
    a.description = "x";
    a.zmag = {1e-5, 123456.789, 50};
    a.phase = {-3.14159, 0, 1.5707963267948966};
    a.trailer[files::TrailerAZo] = 50;
    std::string problem;
    const std::string text = files::FormatScanFileA(a);
    const auto back = files::ParseScanFileA(text, problem);
    ASSERT_TRUE(back) << problem;
    EXPECT_EQ(files::FormatScanFileA(*back), text);
    EXPECT_TRUE(back->plotAtZero);
    EXPECT_EQ(back->last(), 2);
    EXPECT_EQ(back->zmag[1], 123456.789);

    files::ScanFileB b;
    b.points = 2;
    b.s21db = {-1, -2, 0};
    b.s21deg = {10, -170.5, 0};
    b.s11db = {-30, -31, 0};
    b.s11deg = {1, 2, 0};
    const std::string btext = files::FormatScanFileB(b);
    const auto bback = files::ParseScanFileB(btext, problem);
    ASSERT_TRUE(bback) << problem;
    EXPECT_EQ(files::FormatScanFileB(*bback), btext);
    EXPECT_EQ(bback->s21deg[1], -170.5);
    // A Port B file of the older format may end without its S21 phase scale, but no earlier.
    const std::string older = btext.substr(0, btext.rfind(" 0\r\n"));
    std::string olderFormat = older;
    olderFormat.replace(olderFormat.find(" 4076"), 5, " 4075");
    const auto o = files::ParseScanFileB(olderFormat, problem);
    ASSERT_TRUE(o) << problem;
    EXPECT_EQ(o->trailerLines, files::TrailerBCount - 1);
    EXPECT_FALSE(files::ParseScanFileB(older, problem)) << "the latest format has all its lines";
    // A file of the other port is named as such.
    EXPECT_FALSE(files::ParseScanFileA(btext, problem));
    EXPECT_EQ(problem, "It is a Port B scan file (format 4076).");
    EXPECT_FALSE(files::ParseScanFileB(text, problem));
    EXPECT_EQ(problem, "It is a Port A scan file (format 127).");
}

TEST(Touchstone, ReaderVariants) {
    // Option line in another order and case, comments everywhere.
    auto d = Parse("! a comment\r\n# mhz ma s r 75 ! trailing\r\n1 0.5 90\r\n2   0.25\t-90 ! note\r\n");
    ASSERT_EQ(d.freq.size(), 2u);
    EXPECT_EQ(d.freq[1], 2);
    EXPECT_EQ(d.reference, 75);
    ExpectS(d.s[0][0], 0, 0.5);
    ExpectS(d.s[1][0], 0, -0.25);
    // The defaults: GHz, S, MA, 50 ohms.
    d = Parse("0.001 1 0\n0.002 1 180\n");
    EXPECT_EQ(d.freq[0], 1);
    EXPECT_EQ(d.reference, 50);
    ExpectS(d.s[1][0], -1, 0);
    // dB and kHz.
    d = Parse("# KHZ S DB R 50\n1000 -6.020599913279624 180\n");
    EXPECT_EQ(d.freq[0], 1);
    ExpectS(d.s[0][0], -0.5, 0);
    // Real and imaginary in Hz, keywords of the newer version, the end keyword.
    d = Parse(
        "[Version] 2.0\n# HZ S RI R 50\n[Number of Ports] 1\n[Network Data]\n1e6 0.1 -0.2\n[End]\n5e6 9 9\n");
    ASSERT_EQ(d.freq.size(), 1u);
    ExpectS(d.s[0][0], 0.1, -0.2);
    // Only the first option line counts.
    d = Parse("# HZ S RI R 50\n# GHZ S MA R 25\n1e6 0.1 0.2\n");
    EXPECT_EQ(d.freq[0], 1);
    EXPECT_EQ(d.reference, 50);
    // Comment and date lines of this program's files.
    d = Parse("! Date: Dec 7, 26  12:00:00\n! Comment: dipole, 40 m\n# HZ S RI R 50\n1e6 0 0\n");
    EXPECT_EQ(d.stamp, "Dec 7, 26  12:00:00");
    EXPECT_EQ(d.description, "dipole, 40 m");
    // Two ports: S11 S21 S12 S22, a record may run over two lines.
    d = Parse("# HZ S RI R 50\n1e6 0.1 0 0.9 0.1\n 0 0 0 0\n", 2);
    ASSERT_EQ(d.freq.size(), 1u);
    ExpectS(d.s[0][1], 0.9, 0.1);

    // A magnitude of minus infinity dB is no signal at all; nowhere else is an infinity a value.
    d = Parse("# HZ S DB R 50\n1e6 -inf 0\n2e6 -6 0\n");
    ExpectS(d.s[0][0], 0, 0);
    EXPECT_NE(Problem("# HZ S DB R 50\n1e6 -6 -inf\n").find("not a number"), std::string::npos);
    EXPECT_NE(Problem("# HZ S RI R 50\n1e6 -inf 0\n").find("not a number"), std::string::npos);
    EXPECT_NE(Problem("# HZ S DB R 50\n-inf -6 0\n").find("not a number"), std::string::npos);

    EXPECT_NE(Problem("# HZ Y RI R 50\n1e6 1 0\n").find("Y-parameters"), std::string::npos);
    EXPECT_NE(Problem("# HZ S RI R 50\n1e6 1\n").find("incomplete"), std::string::npos);
    EXPECT_NE(Problem("# HZ S RI R 50\n1e6 1 nan\n").find("not a number"), std::string::npos);
    EXPECT_NE(Problem("# HZ S XY R 50\n1e6 1 0\n").find("unknown word \"XY\""), std::string::npos);
    EXPECT_NE(Problem("# HZ S RI R -5\n1e6 1 0\n").find("reference impedance"), std::string::npos);
    EXPECT_NE(Problem("! nothing\n# HZ S RI R 50\n").find("no data"), std::string::npos);
}

TEST(Touchstone, IntoAPortAScan) {
    core::AppState st;
    files::ScanFileA base;
    base.trailer[files::TrailerAZo] = 50;
    std::string problem, note;
    // Reflection 0 is the reference impedance itself, 1 an open, -1 a short; 400 MHz is beyond the
    // instrument and is left out.
    const auto d = Parse("# MHZ S RI R 75\n1 0 0\n2 1 0\n3 -1 0\n400 0 0\n");
    const auto s = files::TouchstoneToScanA(d, st, base, problem, note);
    ASSERT_TRUE(s) << problem;
    EXPECT_EQ(s->start, 1);
    EXPECT_EQ(s->step, 1);
    EXPECT_EQ(s->end, 3);
    ASSERT_EQ(s->zmag.size(), 3u);
    EXPECT_NEAR(s->zmag[0], 75, 1e-12);
    EXPECT_EQ(s->zmag[1], 1e9);
    EXPECT_NEAR(s->zmag[2], 0, 1e-12);
    EXPECT_EQ(s->trailer[files::TrailerAZo], 75);
    EXPECT_NE(note.find("1 points outside"), std::string::npos) << note;

    // Uneven frequencies are put onto an even grid.
    note.clear();
    const auto u = files::TouchstoneToScanA(Parse("# MHZ S RI R 50\n1 0 0\n1.5 0.5 0\n4 0 0.5\n"), st, base,
                                            problem, note);
    ASSERT_TRUE(u) << problem;
    EXPECT_EQ(u->step, 1.5);
    EXPECT_NE(note.find("interpolated onto 3 evenly spaced"), std::string::npos) << note;
    // At 2.5 MHz, between 1.5 (0.5) and 4 (0.5j): 0.3 + 0.2j.
    const std::complex<double> g(0.3, 0.2);
    EXPECT_NEAR(u->zmag[1], std::abs(50.0 * (1.0 + g) / (1.0 - g)), 1e-9);

    // One point (a sweep stopped after it) has no step of its own; none is no scan.
    const auto one = files::TouchstoneToScanA(Parse("# MHZ S RI R 50\n1 0 0\n"), st, base, problem, note);
    ASSERT_TRUE(one) << problem;
    EXPECT_EQ(one->last(), 0);
    EXPECT_EQ(one->step, files::OnePointStep);

    EXPECT_FALSE(files::TouchstoneToScanA(Parse("# MHZ S RI R 50\n2 0 0\n1 0 0\n"), st, base, problem, note));
    EXPECT_NE(problem.find("ascending"), std::string::npos);
}

TEST(EvenGrid, KeepsEvenPointsAndInterpolatesOthers) {
    std::vector<double> a = {1, 2, 3};
    files::EvenGrid g;
    std::string problem;
    // Frequencies of a CSV export: single precision, 6 decimals.
    ASSERT_TRUE(files::MakeEvenGrid({150.000000, 150.000999, 150.002006}, {&a}, g, problem));
    EXPECT_FALSE(g.interpolated);
    EXPECT_EQ(a, (std::vector<double>{1, 2, 3}));
    ASSERT_TRUE(files::MakeEvenGrid({0, 1, 4}, {&a}, g, problem));
    EXPECT_TRUE(g.interpolated);
    EXPECT_EQ(g.step, 2);
    EXPECT_EQ(a, (std::vector<double>{1, 2 + 1.0 / 3, 3}));
    EXPECT_FALSE(files::MakeEvenGrid({}, {}, g, problem));
    EXPECT_EQ(problem, "It holds no point.");
}

TEST(CsvExport, NamesBesideTheScanFile) {
    EXPECT_EQ(files::CsvNameA("/a/b/scan 1.scn"), "/a/b/scan 1.csv");
    EXPECT_EQ(files::CsvNameB("/a/b/filter.scnb"), "/a/b/filter_B.csv");
}
