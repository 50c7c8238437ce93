#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

// The program's two number rules, used by every text file it reads or writes, and the number
// pictures used on screen and in some file columns.
namespace vna::core {

inline constexpr int MaxDecimals = 40;

// Number to text: an integral value is a blank followed by the integer (" 5", " -60"); any other
// value is a blank followed by the number with `decimals` decimals (0..40), rounded:
// NumText(0.202, 12) == " 0.202000000000".
std::string NumText(double value, int decimals);
void AppendNumText(std::string& out, double value, int decimals);

// Text to number: skips leading blanks and tabs, then reads the longest prefix that forms a
// number (sign, digits, point, exponent) and ignores the rest. A text that does not start with a
// number gives 0. Values too large for a double give the largest finite double of that sign, so a
// damaged file can never put an infinity or a NaN into the program.
double TextToNumber(std::string_view text);
// The same, also telling how many characters of text were used (0 when it was not a number).
double TextToNumber(std::string_view text, std::size_t& used);

// Nearest integer, halves away from zero, saturated to the 32-bit range; NaN gives 0.
std::int32_t Nint(double value);
// Conversion to a 32-bit integer by truncation, saturated; NaN gives 0.
std::int32_t TruncInt(double value);

// One argument of a picture: a number for a '#' field, a text for a '&' field.
class PictureArg {
public:
    PictureArg(double v) : number_(v), isText_(false) {}
    PictureArg(int v) : number_(v), isText_(false) {}
    PictureArg(std::string_view t) : text_(t), isText_(true) {}
    PictureArg(const char* t) : text_(t), isText_(true) {}
    PictureArg(const std::string& t) : text_(t), isText_(true) {}
    bool isText() const { return isText_; }
    double number() const { return number_; }
    std::string_view text() const { return text_; }

private:
    double number_ = 0;
    std::string_view text_;
    bool isText_;
};

// Formats values with a picture such as "#.##", "####.######" or "###.##  ##.##j". A run of '#',
// optionally followed by '.' and more '#', is a number field: the value is rounded to as many
// decimals as there are '#' after the point and right-aligned so that the part before the point
// (sign included) fills as many positions as there are '#' before it; a wider number is not cut.
// '&' is a text field. Everything else is copied as it stands. Fields take the arguments in order;
// a field without an argument is left out.
std::string FormatPicture(std::string_view picture, std::initializer_list<PictureArg> args);
// The common case of a picture with one number field.
std::string FormatPicture(std::string_view picture, double value);
// `value` with `decimals` decimals by the picture rules ("#.###" for 3), without the leading blanks.
std::string PictureFixed(double value, int decimals);

} // namespace vna::core
