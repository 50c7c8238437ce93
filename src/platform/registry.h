#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vna::platform {

// Per-user key/value store used only by external control. Keys are paths such as
// "hkey_current_user\software\MORVANE\"; values are strings.
class Registry {
public:
    virtual ~Registry() = default;
    virtual bool createKey(std::string_view key) = 0;
    virtual bool keyExists(std::string_view key) = 0;
    virtual std::optional<std::string> get(std::string_view key, std::string_view name) = 0;
    virtual bool set(std::string_view key, std::string_view name, std::string_view value) = 0;
};

} // namespace vna::platform
