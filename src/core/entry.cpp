#include "core/entry.h"

#include <string>

#include "core/number_text.h"
#include "core/program.h"

namespace vna::core {

std::optional<double> ParseEntry(Program& p, std::string_view text, std::string_view caption) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return std::nullopt;
    }
    std::size_t used = 0;
    const double v = core::TextToNumber(text, used);
    if (used == 0) {
        p.ui.message("\"" + std::string(text.substr(first)) +
                         "\" is not a number.\r\nThe setting is unchanged.",
                     caption);
        return std::nullopt;
    }
    return v;
}

std::optional<double> EnterNumber(Program& p, std::string_view prompt, std::string_view caption,
                                  std::string_view initial) {
    const auto text = p.ui.enterText(prompt, caption, initial);
    if (!text) {
        return std::nullopt;
    }
    return ParseEntry(p, *text, caption);
}

} // namespace vna::core
