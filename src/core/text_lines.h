#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vna::core {

// The lines of a text file: split at LF, one CR before the LF dropped (the files are written with
// CR LF, but a file edited elsewhere may have bare LF). A last line without its line end counts;
// the empty text after a final line end does not. The views point into `text`.
std::vector<std::string_view> SplitLines(std::string_view text);

// ASCII lower case; other bytes unchanged.
std::string ToLower(std::string_view text);

// The text with CR and LF removed, so that one value always stays on one line of a file.
std::string OneLine(std::string_view text);

} // namespace vna::core
