#pragma once

#include <string>

#include "platform/registry.h"

namespace vna::platform {

// The registry of systems that have none: a folder per key below `root`, one small text file per
// value, each written to a temporary file and renamed, so that a shell script can be a client.
// Key paths such as "hkey_current_user\software\MORVANE\" are case-insensitive, as on Windows:
// every part of the path is lower-cased into a folder name.
class FileRegistry final : public Registry {
public:
    explicit FileRegistry(std::string root) : root_(std::move(root)) {}

    bool createKey(std::string_view key) override;
    bool keyExists(std::string_view key) override;
    std::optional<std::string> get(std::string_view key, std::string_view name) override;
    bool set(std::string_view key, std::string_view name, std::string_view value) override;

    std::string folderOf(std::string_view key) const;

private:
    std::string root_;
};

} // namespace vna::platform
