#include "measure/correction.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <string>

#include "core/entry.h"
#include "core/number_text.h"
#include "core/program.h"
#include "core/text_lines.h"
#include "display/graph_geometry.h"
#include "display/status_panel.h"

namespace vna::measure {

using core::InterpolatedCal;
using core::ScanPoint;

namespace {

// The constants of the correction: 2 pi for omega, the speed of light for the line extension
// (m/us) and for the feed line (ft/us), and the default feed-line velocity factor.
constexpr double TwoPi = 6.2831853;
constexpr double LightMetresPerUs = 299.8;
constexpr double LightFeetPerUs = 983.6;
constexpr double DefaultVelocityFactor = 0.66;
// Nepers per decibel, for the loss of the feed line shown in the dialog.
constexpr double DbPerNeper = 8.686;

const Complex J(0, 1);

// A denominator of exactly zero would make the result infinite; a tiny one keeps it finite and
// far out, which is what the reading means.
Complex NonZero(Complex d) {
    return d == Complex(0, 0) ? Complex(1e-12, 0) : d;
}

std::string EditText(double v, int decimals) {
    return core::NumText(v, decimals).substr(1);
}

} // namespace

Complex ThreeStandardCorrection(Complex zm, Complex zshort, Complex zopen, Complex k) {
    return k * (zm - zshort) / NonZero(zopen - zm);
}

Complex ResistorFactor(Complex zshort, Complex zopen, Complex zstd, double resistor) {
    const Complex d1 = zopen - zstd;
    const Complex d2 = zstd - zshort;
    double q = d2.real() * d2.real() + d2.imag() * d2.imag();
    if (q == 0) {
        q = 0.0001;
    }
    return {(d2.imag() * d1.imag() + d2.real() * d1.real()) * resistor / q,
            (d2.real() * d1.imag() - d2.imag() * d1.real()) * resistor / q};
}

double SoftFloor(double rs) {
    if (rs < 0.005) {
        rs = 0.005 - std::log10(std::fabs(rs - 1.005)) / 1200;
        if (rs < 0.00001) {
            rs = 0.00001;
        }
    }
    return rs;
}

Complex DeEmbedFeedLine(Complex zin, double z0, double lengthFt, double vf, double lossNeperPerFt,
                        double freq) {
    if (!(vf > 0) || z0 == 0) {
        return zin;
    }
    const double beta = TwoPi * lengthFt * freq / (vf * LightFeetPerUs);
    const double alpha = lossNeperPerFt * lengthFt * std::sqrt(std::max(freq, 0.0));
    // cosh and sinh of gamma*l = alpha + j beta, from their real and imaginary parts, so that a
    // lossless quarter-wave line (where tanh has a pole) needs no special case.
    const Complex ch(std::cosh(alpha) * std::cos(beta), std::sinh(alpha) * std::sin(beta));
    const Complex sh(std::sinh(alpha) * std::cos(beta), std::cosh(alpha) * std::sin(beta));
    // ZL = Z0 (Zin - Z0 tanh) / (Z0 - Zin tanh), multiplied through by cosh.
    return z0 * (zin * ch - z0 * sh) / NonZero(z0 * ch - zin * sh);
}

Complex DeEmbedLineExtension(Complex z, double zext, double angle, double freq) {
    if (zext == 0) {
        return z;
    }
    const double phi = freq * angle;
    const double c = std::cos(phi);
    const double s = std::sin(phi);
    const Complex zn = z / zext;
    // Zext (z - jt) / (1 - jtz) with t = tan(phi), multiplied through by cos(phi).
    return zext * (zn * c - J * s) / NonZero(c - J * s * zn);
}

void DeriveValues(ScanPoint& pt, double rs, double xs, double freq) {
    double omega = freq * TwoPi;
    if (omega == 0) {
        omega = 0.0001 * TwoPi;
    }
    if (xs == 0) {
        xs = 0.001;
    }
    pt.cs = -1000000 / (omega * xs);
    if (rs == 0) {
        rs = 0.01;
    }
    pt.rs = rs;
    pt.xs = xs;
    // The angle of the impedance over all four quadrants: a negative Rs (a feed line taken out
    // with more loss than it has) keeps its sign when the point is rebuilt from |Z| and phase.
    pt.zphase = std::atan2(xs, rs);
    const double z2 = rs * rs + xs * xs;
    pt.zmag = std::sqrt(z2);
    pt.rp = z2 / rs;
    pt.xp = z2 / xs;
    pt.cp = -1000000 / (omega * pt.xp);
}

void CorrectReading(core::Program& p, Complex zshort, Complex zopen, Complex k) {
    const core::AppState& st = p.st;
    double rs = st.RsRaw;
    double xs = st.XsRaw;
    if (!st.RawMode) {
        const Complex zm(st.RsRaw + 50, st.XsRaw);
        const Complex z = ThreeStandardCorrection(zm, zshort, zopen, k);
        rs = SoftFloor(z.real());
        xs = z.imag();
        if (st.RefToAntenna) {
            const Complex zl = DeEmbedFeedLine({rs, xs}, st.Z0real, st.cable_length, st.VF, st.loss, st.freq);
            rs = zl.real();
            xs = zl.imag();
        }
        if (st.ExtensionFlag) {
            const Complex zl = DeEmbedLineExtension({rs, xs}, st.Zextension, st.ExtensionAngle, st.freq);
            rs = zl.real();
            xs = zl.imag();
        }
    }
    DeriveValues(p.point, rs, xs, st.freq);
}

void ApplyCorr(core::Program& p) {
    const std::size_t i = static_cast<std::size_t>(std::clamp(p.st.CalIndex, 0, core::CalCapacity - 1));
    const InterpolatedCal& ip = p.ip;
    CorrectReading(p, {ip.ip_short_re[i], ip.ip_short_im[i]}, {ip.ip_open_re[i], ip.ip_open_im[i]},
                   {ip.ip_factor_re[i], ip.ip_factor_im[i]});
}

double ExtensionLengthFromText(std::string_view text) {
    std::string s = core::ToLower(text);
    double unit = 0.01;
    auto has = [&s](char c) { return s.find(c) != std::string::npos; };
    auto cutAt = [&s](std::size_t pos) {
        if (pos != std::string::npos) {
            s.erase(pos);
        }
    };
    if (s.find("mm") != std::string::npos) {
        unit = 0.001;
        cutAt(s.find("mm"));
    } else if (has('m') && !has('c')) {
        unit = 1;
        cutAt(s.find('m'));
    } else if (has('"') || has('i')) {
        unit = 0.0254;
        cutAt(std::min(s.find('"'), s.find('i')));
    } else if (has('\'') || has('f')) {
        unit = 0.3048;
        cutAt(std::min(s.find('\''), s.find('f')));
    }
    return core::TextToNumber(s) * unit;
}

void SetLineExtension(core::Program& p, std::string_view length, std::string_view impedance,
                      std::string_view velocityFactor) {
    core::AppState& st = p.st;
    st.ExtensionLength = ExtensionLengthFromText(length);
    double z = std::fabs(core::TextToNumber(impedance));
    if (z < 1 || z > 1000) {
        z = 50;
    }
    st.Zextension = z;
    st.ExtensionVP = std::clamp(std::fabs(core::TextToNumber(velocityFactor)), 0.5, 1.0);
    st.ExtensionAngle = core::TwoPi * st.ExtensionLength / (st.ExtensionVP * LightMetresPerUs);
    st.ExtensionFlag = std::fabs(st.ExtensionLength) < 1e-6 ? 0 : 1;
}

void LineExtensionDialog(core::Program& p) {
    core::AppState& st = p.st;
    platform::Form form;
    form.title = " Line Extension";
    form.fields.push_back(platform::MakeField(
        platform::FormField::Kind::Label,
        "Length in cm; add mm, m, in (or \") or ft (or ') for other units. 0 switches it off."));
    form.fields.push_back(platform::MakeField(platform::FormField::Kind::Text, "Length",
                                              EditText(st.ExtensionLength * 100, 2)));
    form.fields.push_back(
        platform::MakeField(platform::FormField::Kind::Text, "Impedance (ohms)", EditText(st.Zextension, 2)));
    form.fields.push_back(
        platform::MakeField(platform::FormField::Kind::Text, "Velocity factor", EditText(st.ExtensionVP, 4)));
    if (p.ui.form(form) != platform::FormOk) {
        return;
    }
    const std::string& length = form.fields[1].text;
    // A length must start with a number (a typing slip never becomes a zero length).
    std::size_t used = 0;
    core::TextToNumber(length, used);
    if (used == 0) {
        p.ui.message("\"" + length + "\" is not a length.", " Line Extension");
        return;
    }
    SetLineExtension(p, length, form.fields[2].text, form.fields[3].text);
    display::UpdateStatus(p, 4);
    display::RedrawGraph(p);
}

void ReferToAntennaDialog(core::Program& p) {
    core::AppState& st = p.st;
    platform::Form form;
    form.title = " Refer to Antenna";
    platform::FormField on = platform::MakeField(platform::FormField::Kind::Check,
                                                 "Refer readings to the antenna end of the feed line");
    on.checked = st.RefToAntenna != 0;
    form.fields.push_back(on);
    form.fields.push_back(platform::MakeField(platform::FormField::Kind::Text,
                                              "Feed line impedance (ohms; also the Zo of SWR and the charts)",
                                              EditText(st.Z0real, 2)));
    form.fields.push_back(platform::MakeField(platform::FormField::Kind::Text, "Feed line length (feet)",
                                              EditText(st.cable_length, 3)));
    form.fields.push_back(
        platform::MakeField(platform::FormField::Kind::Text, "Velocity factor", EditText(st.VF, 4)));
    form.fields.push_back(platform::MakeField(platform::FormField::Kind::Text,
                                              "Loss (dB per 100 ft at 1 MHz)",
                                              EditText(st.loss * DbPerNeper * 100, 4)));
    if (p.ui.form(form) != platform::FormOk) {
        return;
    }
    const auto z0 = core::ParseEntry(p, form.fields[1].text, " Refer to Antenna");
    if (!z0) {
        return;
    }
    // The line's impedance is the system's Zo; one the correction cannot divide by is refused.
    if (!(std::fabs(*z0) >= st.ZoMinimum && std::fabs(*z0) <= 1000)) {
        p.ui.message("The feed line impedance must lie between " + core::NumText(st.ZoMinimum, 1) +
                         " and 1000 ohms.\r\nNothing was changed.",
                     " Refer to Antenna");
        return;
    }
    const auto length = core::ParseEntry(p, form.fields[2].text, " Refer to Antenna");
    const auto vf = length ? core::ParseEntry(p, form.fields[3].text, " Refer to Antenna") : std::nullopt;
    const auto loss = vf ? core::ParseEntry(p, form.fields[4].text, " Refer to Antenna") : std::nullopt;
    if (!loss) {
        return;
    }
    if (std::fabs(std::fabs(*z0) - st.Z0real) > 1e-9) {
        // The Smith chart's reference follows Zo when it was the same.
        if (std::fabs(st.Zsm_real - st.Z0real) + std::fabs(st.Zsm_imag - st.Z0imag) < 0.00001) {
            st.Zsm_real = std::fabs(*z0);
            st.Zsm_imag = 0;
        }
        st.Z0real = std::fabs(*z0);
        st.Zo = st.Z0real;
        st.Z0imag = 0;
    }
    st.cable_length = std::fabs(*length);
    // A velocity factor of 0 would put the far end at infinity; the usual cable value stands in.
    const double v = std::fabs(*vf);
    st.VF = v > 0 && v <= 1 ? v : DefaultVelocityFactor;
    st.loss = std::fabs(*loss) / 100 / DbPerNeper;
    st.RefToAntenna = form.fields[0].checked ? 1 : 0;
    display::RedrawGraph(p);
}

} // namespace vna::measure
