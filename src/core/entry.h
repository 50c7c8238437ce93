#pragma once

#include <optional>
#include <string_view>

namespace vna::core {

struct Program;

// Asks for one number in a text entry. Nothing when the user cancelled or left the field empty
// (the setting then stays as it was); a text that is not a number is refused with a message and
// also gives nothing, so a typing slip never becomes a zero.
std::optional<double> EnterNumber(Program& p, std::string_view prompt, std::string_view caption,
                                  std::string_view initial);

// The same check for a text that came from a form field.
std::optional<double> ParseEntry(Program& p, std::string_view text, std::string_view caption);

} // namespace vna::core
