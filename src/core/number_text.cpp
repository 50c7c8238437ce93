#include "core/number_text.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

namespace vna::core {

namespace {

// Largest magnitude below which a double can still have a fractional part (2^52); every double
// at or above it is integral.
constexpr double FractionLimit = 4503599627370496.0;

bool IsIntegral(double v) {
    return std::isfinite(v) && (std::fabs(v) >= FractionLimit || v == std::trunc(v));
}

void AppendFixed(std::string& out, double value, int decimals) {
    // Integral doubles reach 309 digits; non-integral ones are below 2^52 (16 digits) with at most
    // 40 decimals.
    char buf[400];
    auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, decimals);
    if (res.ec != std::errc{}) {
        out += '0';
        return;
    }
    out.append(buf, res.ptr);
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// For a number text that does not fit a double: true when it is too large, false when too small.
// Decided from its decimal exponent: the position of the first nonzero digit plus the exponent.
bool OutOfRangeIsHuge(std::string_view number) {
    long long position = 0; // digits before the point counted from the first nonzero one
    bool seenNonzero = false;
    bool afterPoint = false;
    std::size_t i = 0;
    for (; i < number.size(); ++i) {
        const char c = number[i];
        if (c == '.') {
            afterPoint = true;
        } else if (IsDigit(c)) {
            if (!seenNonzero && c != '0') {
                seenNonzero = true;
            }
            if (!afterPoint && seenNonzero) {
                ++position;
            } else if (afterPoint && !seenNonzero) {
                --position;
            }
        } else {
            break;
        }
    }
    long long exponent = 0;
    if (i < number.size() && (number[i] == 'e' || number[i] == 'E')) {
        ++i;
        bool negative = false;
        if (i < number.size() && (number[i] == '-' || number[i] == '+')) {
            negative = number[i] == '-';
            ++i;
        }
        for (; i < number.size() && IsDigit(number[i]); ++i) {
            exponent = std::min<long long>(exponent * 10 + (number[i] - '0'), 1000000000LL);
        }
        exponent = negative ? -exponent : exponent;
    }
    return position + exponent > 0;
}

} // namespace

void AppendNumText(std::string& out, double value, int decimals) {
    out += ' ';
    if (IsIntegral(value)) {
        if (value == 0) {
            out += '0'; // also for -0
            return;
        }
        AppendFixed(out, value, 0);
        return;
    }
    if (std::isnan(value)) {
        out += "nan";
        return;
    }
    if (std::isinf(value)) {
        out += value < 0 ? "-inf" : "inf";
        return;
    }
    AppendFixed(out, value, std::clamp(decimals, 0, MaxDecimals));
}

std::string NumText(double value, int decimals) {
    std::string s;
    AppendNumText(s, value, decimals);
    return s;
}

double TextToNumber(std::string_view text, std::size_t& used) {
    used = 0;
    std::size_t i = 0;
    const std::size_t n = text.size();
    while (i < n && (text[i] == ' ' || text[i] == '\t')) {
        ++i;
    }
    bool negative = false;
    if (i < n && (text[i] == '-' || text[i] == '+')) {
        negative = text[i] == '-';
        ++i;
    }
    const std::size_t start = i;
    std::size_t digits = 0;
    while (i < n && IsDigit(text[i])) {
        ++i;
        ++digits;
    }
    if (i < n && text[i] == '.') {
        ++i;
        while (i < n && IsDigit(text[i])) {
            ++i;
            ++digits;
        }
    }
    if (digits == 0) {
        return 0.0;
    }
    // An exponent counts only when at least one digit follows it ("5e" is 5 followed by text).
    if (i < n && (text[i] == 'e' || text[i] == 'E')) {
        std::size_t j = i + 1;
        if (j < n && (text[j] == '-' || text[j] == '+')) {
            ++j;
        }
        if (j < n && IsDigit(text[j])) {
            while (j < n && IsDigit(text[j])) {
                ++j;
            }
            i = j;
        }
    }
    used = i;
    // from_chars takes no '+' but handles a leading '-', the point and the exponent exactly.
    std::string_view mantissa = text.substr(start, i - start);
    double value = 0.0;
    auto res = std::from_chars(mantissa.data(), mantissa.data() + mantissa.size(), value,
                               std::chars_format::general);
    if (res.ec == std::errc::result_out_of_range) {
        value = OutOfRangeIsHuge(mantissa) ? std::numeric_limits<double>::max() : 0.0;
    } else if (res.ec != std::errc{}) {
        used = 0;
        return 0.0;
    }
    return negative ? -value : value;
}

double TextToNumber(std::string_view text) {
    std::size_t used = 0;
    return TextToNumber(text, used);
}

std::int32_t Nint(double value) {
    if (std::isnan(value)) {
        return 0;
    }
    const double r = std::round(value);
    if (r >= 2147483647.0) {
        return std::numeric_limits<std::int32_t>::max();
    }
    if (r <= -2147483648.0) {
        return std::numeric_limits<std::int32_t>::min();
    }
    return static_cast<std::int32_t>(r);
}

std::int32_t TruncInt(double value) {
    if (std::isnan(value)) {
        return 0;
    }
    const double r = std::trunc(value);
    if (r >= 2147483647.0) {
        return std::numeric_limits<std::int32_t>::max();
    }
    if (r <= -2147483648.0) {
        return std::numeric_limits<std::int32_t>::min();
    }
    return static_cast<std::int32_t>(r);
}

namespace {

void AppendPictureNumber(std::string& out, double value, int intPositions, int decimals, bool point) {
    std::string digits;
    if (std::isnan(value)) {
        digits = "nan";
    } else if (std::isinf(value)) {
        digits = value < 0 ? "-inf" : "inf";
    } else {
        AppendFixed(digits, value, decimals);
        if (digits.size() > 1 && digits[0] == '-' && digits.find_first_not_of("0.", 1) == std::string::npos) {
            digits.erase(0, 1); // -0.00 after rounding is shown as 0.00
        }
    }
    if (!point && decimals == 0 && !digits.empty() && digits.back() == '.') {
        digits.pop_back();
    }
    const std::size_t dot = digits.find('.');
    const int before = static_cast<int>(dot == std::string::npos ? digits.size() : dot);
    if (before < intPositions) {
        out.append(static_cast<std::size_t>(intPositions - before), ' ');
    }
    out += digits;
}

} // namespace

std::string FormatPicture(std::string_view picture, std::initializer_list<PictureArg> args) {
    std::string out;
    out.reserve(picture.size() + 8);
    auto arg = args.begin();
    std::size_t i = 0;
    const std::size_t n = picture.size();
    while (i < n) {
        const char c = picture[i];
        if (c == '#') {
            int intPositions = 0;
            while (i < n && picture[i] == '#') {
                ++intPositions;
                ++i;
            }
            int decimals = 0;
            bool point = false;
            if (i + 1 < n && picture[i] == '.' && picture[i + 1] == '#') {
                point = true;
                ++i;
                while (i < n && picture[i] == '#') {
                    ++decimals;
                    ++i;
                }
            }
            if (arg != args.end()) {
                AppendPictureNumber(out, arg->isText() ? 0.0 : arg->number(), intPositions, decimals, point);
                ++arg;
            }
        } else if (c == '&') {
            if (arg != args.end()) {
                if (arg->isText()) {
                    out += arg->text();
                } else {
                    AppendNumText(out, arg->number(), 4);
                }
                ++arg;
            }
            ++i;
        } else {
            out += c;
            ++i;
        }
    }
    return out;
}

std::string FormatPicture(std::string_view picture, double value) {
    // Spelled out: a bare {value} may bind to this overload again, which then calls itself.
    return FormatPicture(picture, std::initializer_list<PictureArg>{PictureArg(value)});
}

std::string PictureFixed(double value, int decimals) {
    std::string picture = "#";
    if (decimals > 0) {
        picture += "." + std::string(static_cast<std::size_t>(decimals), '#');
    }
    const std::string s = FormatPicture(picture, value);
    const auto first = s.find_first_not_of(' ');
    return first == std::string::npos ? s : s.substr(first);
}

} // namespace vna::core
