// The Touchstone files held against an independent reader and writer of the format (scikit-rf,
// Debian package python3-scikit-rf). Skipped, with a message, where that library is missing.

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <complex>
#include <cstdio>
#include <sstream>

#include "commands/scan_commands.h"
#include "files/scan_file.h"
#include "files/touchstone.h"
#include "measure/scan_replay.h"
#include "support/test_rig.h"

using namespace vna;

namespace {

// Debian's interpreter: another python3 may come first on PATH without Debian's packages.
constexpr const char* Python = "/usr/bin/python3";

std::string RunCommand(const std::string& command, int& status) {
    std::string out;
    std::FILE* f = ::popen(command.c_str(), "r");
    if (!f) {
        status = -1;
        return out;
    }
    std::array<char, 4096> buf{};
    std::size_t n = 0;
    while ((n = std::fread(buf.data(), 1, buf.size(), f)) > 0) {
        out.append(buf.data(), n);
    }
    status = ::pclose(f);
    return out;
}

bool LibraryPresent() {
    int status = 0;
    RunCommand(std::string(Python) + " -c 'import skrf' 2>/dev/null", status);
    return status == 0;
}

// Reads a Touchstone file with the library: the reference impedance on the first line, then per
// frequency the frequency in Hz and the real and imaginary parts of S11, S21, S12, S22 (S11 only
// for one port).
struct Read {
    double z0 = 0;
    std::vector<double> hz;
    std::vector<std::vector<std::complex<double>>> s;
};

Read ReadWithLibrary(const test::TempDir& dir, const std::string& path) {
    const std::string script = dir.file("read.py");
    test::WriteFile(script,
                    "import sys, skrf\n"
                    "n = skrf.Network(sys.argv[1])\n"
                    "print(repr(float(n.z0[0, 0].real)))\n"
                    "for f, m in zip(n.f, n.s):\n"
                    "    v = [m[0, 0]] if m.shape[0] == 1 else [m[0, 0], m[1, 0], m[0, 1], m[1, 1]]\n"
                    "    print(repr(float(f)), ' '.join(repr(float(x.real)) + ' ' + repr(float(x.imag)) "
                    "for x in v))\n");
    int status = 0;
    const std::string out = RunCommand(std::string(Python) + " " + script + " '" + path + "' 2>&1", status);
    EXPECT_EQ(status, 0) << out;
    Read r;
    std::istringstream in(out);
    std::string line;
    bool first = true;
    while (std::getline(in, line)) {
        if (line.find("matplotlib") != std::string::npos) {
            continue; // the library's note that it cannot plot
        }
        std::istringstream l(line);
        if (first) {
            l >> r.z0;
            first = false;
            continue;
        }
        double f = 0;
        l >> f;
        r.hz.push_back(f);
        std::vector<std::complex<double>> row;
        double re = 0, im = 0;
        while (l >> re >> im) {
            row.emplace_back(re, im);
        }
        r.s.push_back(row);
    }
    return r;
}

// A series RLC circuit over 1 to 30 MHz as a measured Port A scan.
void SeriesRlcScan(core::Program& p) {
    core::AppState& st = p.st;
    st.start_freq = 1;
    st.end_freq = 30;
    st.delta_freq = 0.29;
    st.last_scan_index = 100;
    st.Zo = 75;
    for (int k = 0; k <= 100; ++k) {
        const double w = 2 * M_PI * (1 + 0.29 * k) * 1e6;
        const std::complex<double> z(12.5, w * 2.2e-6 - 1 / (w * 120e-12));
        p.scan.raw_zmag[static_cast<std::size_t>(k)] = std::abs(z);
        p.scan.raw_phase[static_cast<std::size_t>(k)] = std::arg(z);
    }
    st.scanDescriptionA = "series RLC";
    files::RecordLiveScanA(p, 0);
}

} // namespace

TEST(TouchstoneLibrary, PortAFilesReadTheSameInTheLibrary) {
    if (!LibraryPresent()) {
        GTEST_SKIP() << "scikit-rf is not installed (Debian package python3-scikit-rf): the Touchstone "
                        "files were not checked against it";
    }
    test::TestRig rig;
    SeriesRlcScan(rig.p());
    for (auto format :
         {files::TouchstoneFormat::RI, files::TouchstoneFormat::MA, files::TouchstoneFormat::DB}) {
        const std::string path =
            rig.dir.file(std::string("rlc_") + files::TouchstoneFormatName(format) + ".s1p");
        test::WriteFile(path, files::TouchstoneTextA(rig.p(), format));
        const Read r = ReadWithLibrary(rig.dir, path);
        EXPECT_EQ(r.z0, 75);
        ASSERT_EQ(r.hz.size(), 101u) << path;
        for (std::size_t k = 0; k < 101; ++k) {
            EXPECT_NEAR(r.hz[k], (1 + 0.29 * static_cast<double>(k)) * 1e6, 1e-3);
            const std::complex<double> z = std::polar(rig.p().scan.raw_zmag[k], rig.p().scan.raw_phase[k]);
            const std::complex<double> gamma = (z - 75.0) / (z + 75.0);
            ASSERT_EQ(r.s[k].size(), 1u);
            EXPECT_NEAR(r.s[k][0].real(), gamma.real(), 1e-12) << path << " point " << k;
            EXPECT_NEAR(r.s[k][0].imag(), gamma.imag(), 1e-12) << path << " point " << k;
        }
    }
}

TEST(TouchstoneLibrary, PortBFilesReadTheSameInTheLibrary) {
    if (!LibraryPresent()) {
        GTEST_SKIP() << "scikit-rf is not installed (Debian package python3-scikit-rf)";
    }
    test::TestRig rig;
    core::AppState& st = rig.st();
    st.start_freq = 10;
    st.end_freq = 11;
    st.delta_freq = 0.01;
    st.scan_points = 101;
    st.last_scan_index = 100;
    for (std::size_t k = 0; k <= 100; ++k) {
        rig.p().scan.s21_db[k] = -1 - 0.7 * static_cast<double>(k);
        rig.p().scan.s21_phase[k] = std::remainder(-0.2 * static_cast<double>(k), 2 * M_PI);
        rig.p().scan.s11_db[k] = -12 - 0.1 * static_cast<double>(k);
        rig.p().scan.s11_phase[k] = 0.01 * static_cast<double>(k);
    }
    const std::string path = rig.dir.file("filter.s2p");
    test::WriteFile(path, files::TouchstoneTextB(rig.p(), files::TouchstoneFormat::MA));
    const Read r = ReadWithLibrary(rig.dir, path);
    ASSERT_EQ(r.hz.size(), 101u);
    for (std::size_t k = 0; k <= 100; ++k) {
        ASSERT_EQ(r.s[k].size(), 4u);
        const auto s21 = std::polar(std::pow(10.0, rig.p().scan.s21_db[k] / 20), rig.p().scan.s21_phase[k]);
        const auto s11 = std::polar(std::pow(10.0, rig.p().scan.s11_db[k] / 20), rig.p().scan.s11_phase[k]);
        EXPECT_NEAR(std::abs(r.s[k][1] - s21), 0, 1e-12) << k;
        EXPECT_NEAR(std::abs(r.s[k][0] - s11), 0, 1e-12) << k;
        EXPECT_EQ(r.s[k][2], std::complex<double>()) << "S12 is not measured";
        EXPECT_EQ(r.s[k][3], std::complex<double>()) << "S22 is not measured";
        EXPECT_NEAR(20 * std::log10(std::abs(r.s[k][1])), rig.p().scan.s21_db[k], 1e-9);
    }
}

TEST(TouchstoneLibrary, FilesOfTheLibraryLoadIntoThePortAGraph) {
    if (!LibraryPresent()) {
        GTEST_SKIP() << "scikit-rf is not installed (Debian package python3-scikit-rf)";
    }
    test::TempDir dir;
    // The library writes a 50-ohm load, an open and a short and points between them, in GHz and in
    // its own layout of comments and option line.
    const std::string script = dir.file("write.py");
    test::WriteFile(script, "import sys, skrf, numpy as np\n"
                            "f = skrf.Frequency(0.001, 0.004, 4, 'ghz')\n"
                            "s = np.array([0, 1, -1, 0.3 + 0.4j]).reshape(4, 1, 1)\n"
                            "n = skrf.Network(frequency=f, s=s, z0=50)\n"
                            "n.write_touchstone(sys.argv[1], form=sys.argv[2])\n");
    for (const char* form : {"ri", "ma", "db"}) {
        const std::string base = dir.file(std::string("lib_") + form);
        int status = 0;
        const std::string out =
            RunCommand(std::string(Python) + " " + script + " '" + base + "' " + form + " 2>&1", status);
        ASSERT_EQ(status, 0) << out;
        test::TestRig rig;
        rig.st().ScanFileMode = 0;
        rig.ui.fileAnswers.push_back(base + ".s1p");
        commands::LoadScanA(rig.p());
        ASSERT_TRUE(rig.ui.messages().empty()) << rig.ui.messages()[0].text;
        EXPECT_EQ(rig.st().start_freq, 1);
        EXPECT_EQ(rig.st().delta_freq, 1);
        EXPECT_EQ(rig.st().last_scan_index, 3);
        const core::ScanArrays& s = rig.p().scan;
        EXPECT_NEAR(s.raw_zmag[0], 50, 1e-9) << form;
        EXPECT_GE(s.raw_zmag[1], 1e6) << form;
        EXPECT_NEAR(s.raw_zmag[2], 0, 1e-6) << form;
        const std::complex<double> g(0.3, 0.4);
        const std::complex<double> z = 50.0 * (1.0 + g) / (1.0 - g);
        EXPECT_NEAR(s.raw_zmag[3], std::abs(z), 1e-9) << form;
        EXPECT_NEAR(s.raw_phase[3], std::arg(z), 1e-12) << form;
        EXPECT_NEAR(s.scan_swr[3], (1 + 0.5) / (1 - 0.5), 1e-9) << form;
    }
}
