#include "core/path_split.h"

#include <algorithm>

#include "core/text_lines.h"

namespace vna::core {

SplitPathResult SplitPath(std::string_view path) {
    const auto pos = path.find_last_of("/\\");
    if (pos == std::string_view::npos) {
        return {"", std::string(path)};
    }
    return {std::string(path.substr(0, pos + 1)), std::string(path.substr(pos + 1))};
}

std::string JoinPath(std::string_view folder, std::string_view name) {
    std::string out(folder);
    if (!out.empty() && out.back() != '/' && out.back() != '\\') {
        out += '/';
    }
    out += name;
    return out;
}

std::string LowerExtension(std::string_view path) {
    const std::string name = SplitPath(path).name;
    const auto dot = name.rfind('.');
    return dot == std::string::npos ? std::string() : ToLower(std::string_view(name).substr(dot + 1));
}

std::string SafeNamePart(std::string_view text) {
    constexpr std::size_t MaxLength = 64;
    std::string out;
    for (const char c : text.substr(0, std::min(text.size(), MaxLength))) {
        const bool safe = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                          c == '-' || c == '_' || c == ' ';
        out += safe ? c : '_';
    }
    return out;
}

} // namespace vna::core
