#include "platform/file_registry.h"

#include <cctype>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace vna::platform {

namespace fs = std::filesystem;

namespace {

// Keeps letters, digits and a few safe characters; anything else (separators, dots that could
// climb out of the root) becomes '_'.
std::string SafePart(std::string_view part) {
    std::string out;
    for (char c : part) {
        const auto u = static_cast<unsigned char>(c);
        if (std::isalnum(u) || c == '_' || c == '-' || c == ' ') {
            out += static_cast<char>(std::tolower(u));
        } else {
            out += '_';
        }
    }
    return out.empty() ? std::string("_") : out;
}

} // namespace

std::string FileRegistry::folderOf(std::string_view key) const {
    fs::path p(root_);
    std::string part;
    for (char c : key) {
        if (c == '\\' || c == '/') {
            if (!part.empty()) {
                p /= SafePart(part);
            }
            part.clear();
        } else {
            part += c;
        }
    }
    if (!part.empty()) {
        p /= SafePart(part);
    }
    return p.string();
}

bool FileRegistry::createKey(std::string_view key) {
    std::error_code ec;
    fs::create_directories(folderOf(key), ec);
    return !ec;
}

bool FileRegistry::keyExists(std::string_view key) {
    std::error_code ec;
    return fs::is_directory(folderOf(key), ec);
}

std::optional<std::string> FileRegistry::get(std::string_view key, std::string_view name) {
    std::ifstream in(fs::path(folderOf(key)) / SafePart(name), std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

bool FileRegistry::set(std::string_view key, std::string_view name, std::string_view value) {
    if (!createKey(key)) {
        return false;
    }
    const fs::path file = fs::path(folderOf(key)) / SafePart(name);
    const fs::path tmp = file.string() + ".tmp";
    {
        std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
        out.write(value.data(), static_cast<std::streamsize>(value.size()));
        if (!out) {
            return false;
        }
    }
    std::error_code ec;
    fs::rename(tmp, file, ec);
    return !ec;
}

} // namespace vna::platform
