#include "sim/dut.h"

#include <cmath>
#include <cstdlib>
#include <map>
#include <numbers>

namespace vna::sim {

namespace {

constexpr double Pi = std::numbers::pi;
constexpr double SpeedOfLight = 299792458.0;
constexpr double VeryLarge = 1e15; // an open circuit, finite so the arithmetic stays finite
const Complex J(0, 1);

Complex Parallel(Complex a, Complex b) {
    if (std::abs(a) == 0 || std::abs(b) == 0) {
        return 0;
    }
    return 1.0 / (1.0 / a + 1.0 / b);
}

Complex LineInput(Complex zl, double z0, Complex gl, LineEnd end) {
    const Complex t = std::tanh(gl);
    switch (end) {
        case LineEnd::Open:
            return z0 / t;
        case LineEnd::Short:
            return z0 * t;
        case LineEnd::Resistor:
            break;
    }
    return z0 * (zl + z0 * t) / (z0 + zl * t);
}

// Butterworth low-pass prototype denominator at s, normalised to B(0) = 1.
Complex Butterworth(int n, Complex s) {
    Complex b = 1;
    for (int k = 1; k <= n; ++k) {
        const double angle = Pi * (2.0 * k + n - 1) / (2.0 * n);
        const Complex pole = std::polar(1.0, angle);
        b *= (s - pole) / (-pole);
    }
    return b;
}

// S11 and S21 of the two-ports, referred to 50 ohm.
void TwoPort(const Dut& d, double fHz, Complex& s11, Complex& s21) {
    const double w = 2 * Pi * fHz;
    switch (d.kind) {
        case DutKind::Through:
            s11 = 0;
            s21 = std::exp(-J * w * d.delay);
            return;
        case DutKind::Attenuator:
            s11 = 0;
            s21 = std::pow(10.0, -d.db / 20) * std::exp(-J * w * d.delay);
            return;
        case DutKind::Bandpass: {
            const double f = fHz / 1e6;
            const double omega = f > 0 ? (d.f0 / d.bw) * (f / d.f0 - d.f0 / f) : -1e12;
            const Complex s = J * omega;
            const Complex b = Butterworth(d.order, s);
            s21 = std::pow(10.0, -d.il / 20) / b;
            s11 = std::pow(s, d.order) / b;
            return;
        }
        default:
            s11 = 1;
            s21 = 0;
            return;
    }
}

bool SetKey(Dut& d, const std::string& key, double v) {
    static const std::map<std::string, double Dut::*> keys = {
        {"r", &Dut::r},         {"l", &Dut::l},   {"c", &Dut::c},        {"rm", &Dut::rm}, {"lm", &Dut::lm},
        {"cm", &Dut::cm},       {"c0", &Dut::c0}, {"len", &Dut::length}, {"z0", &Dut::z0}, {"vf", &Dut::vf},
        {"loss", &Dut::db100m}, {"f0", &Dut::f0}, {"zc", &Dut::zc},      {"rr", &Dut::rr}, {"db", &Dut::db},
        {"delay", &Dut::delay}, {"bw", &Dut::bw}, {"il", &Dut::il},
    };
    if (key == "order") {
        d.order = static_cast<int>(std::lround(v));
        return true;
    }
    const auto it = keys.find(key);
    if (it == keys.end()) {
        return false;
    }
    d.*(it->second) = v;
    return true;
}

} // namespace

std::optional<double> ParseSiNumber(std::string_view text) {
    if (text.empty()) {
        return std::nullopt;
    }
    std::string s(text);
    double scale = 1;
    switch (s.back()) {
        case 'f':
            scale = 1e-15;
            break;
        case 'p':
            scale = 1e-12;
            break;
        case 'n':
            scale = 1e-9;
            break;
        case 'u':
            scale = 1e-6;
            break;
        case 'm':
            scale = 1e-3;
            break;
        case 'k':
            scale = 1e3;
            break;
        case 'M':
            scale = 1e6;
            break;
        case 'G':
            scale = 1e9;
            break;
        default:
            break;
    }
    if (scale != 1) {
        s.pop_back();
    }
    char* end = nullptr;
    const double v = std::strtod(s.c_str(), &end);
    if (s.empty() || end != s.c_str() + s.size() || !std::isfinite(v)) {
        return std::nullopt;
    }
    return v * scale;
}

std::optional<Dut> ParseDut(std::string_view text, std::string* error) {
    auto fail = [error](const std::string& why) -> std::optional<Dut> {
        if (error) {
            *error = why;
        }
        return std::nullopt;
    };
    static const std::map<std::string, DutKind> kinds = {
        {"short", DutKind::Short},           {"open", DutKind::Open},
        {"resistor", DutKind::Resistor},     {"load", DutKind::Resistor},
        {"rlc-series", DutKind::SeriesRlc},  {"rlc-parallel", DutKind::ParallelRlc},
        {"crystal", DutKind::Crystal},       {"line", DutKind::Line},
        {"antenna", DutKind::Antenna},       {"through", DutKind::Through},
        {"attenuator", DutKind::Attenuator}, {"bandpass", DutKind::Bandpass},
    };
    const auto colon = text.find(':');
    const std::string name(text.substr(0, colon));
    const auto kind = kinds.find(name);
    if (kind == kinds.end()) {
        return fail("unknown device \"" + name + "\"");
    }
    Dut d;
    d.kind = kind->second;
    d.text = std::string(text);
    if (d.kind == DutKind::SeriesRlc || d.kind == DutKind::ParallelRlc) {
        d.r = 0;
    }
    if (d.kind == DutKind::Attenuator) {
        d.db = 10;
    }
    std::string_view rest = colon == std::string_view::npos ? std::string_view() : text.substr(colon + 1);
    while (!rest.empty()) {
        const auto comma = rest.find(',');
        const std::string_view item = rest.substr(0, comma);
        rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
        const auto eq = item.find('=');
        if (eq == std::string_view::npos) {
            return fail("\"" + std::string(item) + "\" is not key=value");
        }
        const std::string key(item.substr(0, eq));
        const std::string value(item.substr(eq + 1));
        if (d.kind == DutKind::Line && key == "end") {
            if (value == "open") {
                d.end = LineEnd::Open;
            } else if (value == "short") {
                d.end = LineEnd::Short;
            } else if (auto ohms = ParseSiNumber(value)) {
                d.end = LineEnd::Resistor;
                d.endR = *ohms;
            } else {
                return fail("line end must be open, short or a resistance");
            }
            continue;
        }
        const auto v = ParseSiNumber(value);
        if (!v) {
            return fail("\"" + value + "\" is not a number");
        }
        if (!SetKey(d, key, *v)) {
            return fail("unknown key \"" + key + "\" for " + name);
        }
    }
    if (d.kind == DutKind::Bandpass && (d.order < 1 || d.order > 9 || d.bw <= 0 || d.f0 <= 0)) {
        return fail("band-pass needs f0 > 0, bw > 0 and an order of 1 to 9");
    }
    if (d.kind == DutKind::Line && (d.vf <= 0 || d.vf > 1 || d.z0 <= 0)) {
        return fail("line needs 0 < vf <= 1 and z0 > 0");
    }
    if (d.kind == DutKind::Antenna && (d.f0 <= 0 || d.zc <= 0)) {
        return fail("antenna needs f0 > 0 and zc > 0");
    }
    return d;
}

std::string DutHelp() {
    return "short | open | resistor:r=OHM | load (50 ohm) | rlc-series:r=,l=,c= | rlc-parallel:r=,l=,c= |\n"
           "crystal:rm=,lm=,cm=,c0= | line:len=M,z0=,vf=,loss=DB/100M@1MHZ,end=open|short|OHM |\n"
           "antenna:f0=MHZ,zc=,rr= | through:delay=S | attenuator:db=,delay= | "
           "bandpass:f0=MHZ,bw=MHZ,order=,il=DB\n"
           "(numbers take the suffixes f p n u m k M G)";
}

bool IsTwoPort(const Dut& dut) {
    return dut.kind == DutKind::Through || dut.kind == DutKind::Attenuator || dut.kind == DutKind::Bandpass;
}

Complex PortAImpedance(const Dut& d, double fHz) {
    const double w = 2 * Pi * fHz;
    switch (d.kind) {
        case DutKind::Short:
            return 0;
        case DutKind::Open:
            return VeryLarge;
        case DutKind::Resistor:
            return d.r;
        case DutKind::SeriesRlc: {
            Complex z = d.r + J * w * d.l;
            if (d.c > 0 && w > 0) {
                z += 1.0 / (J * w * d.c);
            }
            return z;
        }
        case DutKind::ParallelRlc: {
            Complex y = 0;
            if (d.r > 0) {
                y += 1.0 / d.r;
            }
            if (d.l > 0 && w > 0) {
                y += 1.0 / (J * w * d.l);
            }
            y += J * w * d.c;
            return std::abs(y) > 0 ? 1.0 / y : Complex(VeryLarge);
        }
        case DutKind::Crystal: {
            if (w <= 0) {
                return VeryLarge;
            }
            const Complex motional = d.rm + J * w * d.lm + 1.0 / (J * w * d.cm);
            return Parallel(motional, 1.0 / (J * w * d.c0));
        }
        case DutKind::Line: {
            const double alpha = d.db100m * std::sqrt(fHz / 1e6) / (100 * 8.685889638);
            const double beta = w / (d.vf * SpeedOfLight);
            return LineInput(d.endR, d.z0, Complex(alpha, beta) * d.length, d.end);
        }
        case DutKind::Antenna: {
            // A centre-fed dipole behaves like an open two-wire line whose loss is its radiation:
            // a series resonance of rr ohm at f0, capacitive below, a high impedance near 2 f0.
            const double beta = (Pi / 2) * (fHz / 1e6) / d.f0;
            const double alpha = d.rr / d.zc;
            return d.zc / std::tanh(Complex(alpha, beta));
        }
        case DutKind::Through:
        case DutKind::Attenuator:
        case DutKind::Bandpass: {
            Complex s11, s21;
            TwoPort(d, fHz, s11, s21);
            if (std::abs(1.0 - s11) < 1e-12) {
                return VeryLarge;
            }
            return 50.0 * (1.0 + s11) / (1.0 - s11);
        }
    }
    return VeryLarge;
}

Complex Transmission(const Dut& d, double fHz) {
    if (!IsTwoPort(d)) {
        return 0;
    }
    Complex s11, s21;
    TwoPort(d, fHz, s11, s21);
    return s21;
}

} // namespace vna::sim
