#include <cfloat>
#include <cmath>
#include <cstdio>
#include <gtest/gtest.h>
#include <limits>
#include <random>

#include "core/number_text.h"

using vna::core::FormatPicture;
using vna::core::Nint;
using vna::core::NumText;
using vna::core::TextToNumber;
using vna::core::TruncInt;

TEST(NumberToText, IntegralValuesAreABlankAndTheInteger) {
    EXPECT_EQ(NumText(5, 12), " 5");
    EXPECT_EQ(NumText(-60, 12), " -60");
    EXPECT_EQ(NumText(0, 12), " 0");
    EXPECT_EQ(NumText(-0.0, 12), " 0");
    EXPECT_EQ(NumText(115000, 3), " 115000");
    // Beyond the 32-bit range the whole integer is still written.
    EXPECT_EQ(NumText(1e15, 4), " 1000000000000000");
    EXPECT_EQ(NumText(-4294967296.0, 4), " -4294967296");
    EXPECT_EQ(NumText(1e300, 4).size(), 302u);
}

TEST(NumberToText, OtherValuesUseTheCurrentDecimals) {
    EXPECT_EQ(NumText(0.202, 12), " 0.202000000000");
    EXPECT_EQ(NumText(0.202, 4), " 0.2020");
    EXPECT_EQ(NumText(-0.5, 3), " -0.500");
    EXPECT_EQ(NumText(14.199999809265137, 12), " 14.199999809265");
    // Single-precision 14.2 as the init file writes `freq`.
    EXPECT_EQ(NumText(static_cast<float>(14.2), 12), " 14.199999809265");
    // Rounding at the last decimal, both directions and across a carry.
    EXPECT_EQ(NumText(2.0004999, 3), " 2.000");
    EXPECT_EQ(NumText(2.0005001, 3), " 2.001");
    EXPECT_EQ(NumText(9.9996, 3), " 10.000");
    EXPECT_EQ(NumText(-9.9996, 3), " -10.000");
    // Tiny values keep their sign even when they round to zero.
    EXPECT_EQ(NumText(1e-20, 4), " 0.0000");
    EXPECT_EQ(NumText(-1e-20, 4), " -0.0000");
    // 40 decimals show the exact binary value, as printf does.
    char expect[80];
    std::snprintf(expect, sizeof expect, " %.40f", 1e-20);
    EXPECT_EQ(NumText(1e-20, 40), expect);
    // The number of decimals is limited to 0..40.
    EXPECT_EQ(NumText(0.5, 60), NumText(0.5, 40));
    EXPECT_EQ(NumText(0.25, -3), " 0");
    EXPECT_EQ(NumText(1.5, 0), " 2");
}

TEST(NumberToText, TextRoundTripsAtFifteenDecimals) {
    std::mt19937_64 rng(42);
    std::uniform_real_distribution<double> mant(-1, 1);
    std::uniform_int_distribution<int> exp(-6, 6);
    for (int i = 0; i < 20000; ++i) {
        const double v = mant(rng) * std::pow(10.0, exp(rng));
        const double back = TextToNumber(NumText(v, 15));
        EXPECT_NEAR(back, v, 1e-15 + std::fabs(v) * 1e-15) << NumText(v, 15);
    }
}

TEST(TextToNumber, SkipsBlanksAndTabsAndStopsAtTheFirstForeignCharacter) {
    EXPECT_EQ(TextToNumber(" 5"), 5);
    EXPECT_EQ(TextToNumber("\t \t-60"), -60);
    EXPECT_EQ(TextToNumber("  0.202000000000"), 0.202);
    EXPECT_EQ(TextToNumber("14.5MHz"), 14.5);
    EXPECT_EQ(TextToNumber("1,5"), 1);
    EXPECT_EQ(TextToNumber("+3"), 3);
    EXPECT_EQ(TextToNumber("-.5"), -0.5);
    EXPECT_EQ(TextToNumber("7."), 7);
    EXPECT_EQ(TextToNumber("2.5e3 ohms"), 2500);
    EXPECT_EQ(TextToNumber("2.5E-3"), 0.0025);
    // An 'e' without digits after it is not an exponent.
    EXPECT_EQ(TextToNumber("5e"), 5);
    EXPECT_EQ(TextToNumber("5e+x"), 5);
    EXPECT_EQ(TextToNumber("12 34"), 12);
    // A line ending does not disturb the number.
    EXPECT_EQ(TextToNumber(" 42\r\n"), 42);
    std::size_t used = 0;
    EXPECT_EQ(TextToNumber("  -1.25abc", used), -1.25);
    EXPECT_EQ(used, 7u);
}

TEST(TextToNumber, TextThatIsNotANumberGivesZero) {
    for (const char* s : {"", " ", "\t", "abc", "--5", "+-5", ".", "-", "e5", "nan", "NaN", "inf", "-inf",
                          "infinity", "0x10z", "x1", "\r\n", "Zo=50"}) {
        std::size_t used = 99;
        const double v = TextToNumber(s, used);
        // "0x10z" reads the leading 0 and stops at 'x'.
        if (std::string(s) == "0x10z") {
            EXPECT_EQ(v, 0);
            EXPECT_EQ(used, 1u);
            continue;
        }
        EXPECT_EQ(v, 0) << '"' << s << '"';
        EXPECT_EQ(used, 0u) << '"' << s << '"';
    }
}

TEST(TextToNumber, HugeAndTinyValuesStayFinite) {
    EXPECT_EQ(TextToNumber("1e999"), DBL_MAX);
    EXPECT_EQ(TextToNumber("-1e999"), -DBL_MAX);
    EXPECT_EQ(TextToNumber("1e-999"), 0);
    EXPECT_EQ(TextToNumber("-1e-999"), 0);
    EXPECT_EQ(TextToNumber("1.7976931348623157e308"), DBL_MAX);
    EXPECT_EQ(TextToNumber("4.9e-324"), 4.9e-324);
    // A thousand digits are still read (and stay finite).
    EXPECT_EQ(TextToNumber(std::string(1000, '9')), DBL_MAX);
    EXPECT_EQ(TextToNumber("0." + std::string(500, '0') + "1"), 0);
    EXPECT_EQ(TextToNumber("0." + std::string(500, '0') + "1e810"), DBL_MAX);
    EXPECT_EQ(TextToNumber("123e-999"), 0);
    EXPECT_EQ(TextToNumber("0." + std::string(500, '0') + "1e600"), 1e99);
    EXPECT_EQ(TextToNumber("0.0001e313"), DBL_MAX);
}

TEST(IntegerConversions, SaturateAndRoundHalvesAwayFromZero) {
    EXPECT_EQ(Nint(2.5), 3);
    EXPECT_EQ(Nint(-2.5), -3);
    EXPECT_EQ(Nint(2.4999), 2);
    EXPECT_EQ(Nint(1e300), std::numeric_limits<int32_t>::max());
    EXPECT_EQ(Nint(-1e300), std::numeric_limits<int32_t>::min());
    EXPECT_EQ(Nint(std::nan("")), 0);
    EXPECT_EQ(TruncInt(-2.9), -2);
    EXPECT_EQ(TruncInt(3e10), std::numeric_limits<int32_t>::max());
    EXPECT_EQ(TruncInt(std::nan("")), 0);
}

TEST(NumberPictures, RoundAndRightAlignBeforeThePoint) {
    EXPECT_EQ(FormatPicture("#.##", 1.456), "1.46");
    EXPECT_EQ(FormatPicture("#.##", 0.5), "0.50");
    EXPECT_EQ(FormatPicture("###.##", 1.5), "  1.50");
    EXPECT_EQ(FormatPicture("###.##", -1.5), " -1.50");
    // A wider number is not cut.
    EXPECT_EQ(FormatPicture("#.##", 123.456), "123.46");
    EXPECT_EQ(FormatPicture("#.##", -12.5), "-12.50");
    EXPECT_EQ(FormatPicture("####.######", 14.2), "  14.200000");
    EXPECT_EQ(FormatPicture("######.#######", -0.00000004), "     0.0000000");
    EXPECT_EQ(FormatPicture("###", 7), "  7");
    EXPECT_EQ(FormatPicture("###", 7.6), "  8");
    EXPECT_EQ(FormatPicture("###", 12345), "12345");
    // Rounding carries into a new digit.
    EXPECT_EQ(FormatPicture("#.##", 9.999), "10.00");
    EXPECT_EQ(FormatPicture("##.####", 0.00005), " 0.0001");
}

TEST(NumberPictures, SeveralFieldsTextFieldsAndLiterals) {
    EXPECT_EQ(FormatPicture("###.##  ##.##j", {50.0, -25.126}), " 50.00  -25.13j");
    // An exact tie in binary rounds as printf does, to the even digit.
    EXPECT_EQ(FormatPicture("###.##  ##.##j", {50.0, -25.125}), " 50.00  -25.12j");
    EXPECT_EQ(FormatPicture("###.##  ##.##j", {50.0, 0.0}), " 50.00   0.00j");
    EXPECT_EQ(FormatPicture("  &  ###.######   ##.####   ", {" [ 1]", 14.25, 1.5}),
              "   [ 1]   14.250000    1.5000   ");
    EXPECT_EQ(FormatPicture("Min SWR = ###.##", 1.234), "Min SWR =   1.23");
    // Fields without arguments are left out; a '.' not between '#' runs is plain text.
    EXPECT_EQ(FormatPicture("#.## and #.##", {vna::core::PictureArg(1.0)}), "1.00 and ");
    EXPECT_EQ(FormatPicture("x.#", 2.0), "x.2");
}
