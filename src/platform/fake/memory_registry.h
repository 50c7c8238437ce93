#pragma once

#include <map>
#include <set>
#include <string>

#include "platform/registry.h"

namespace vna::platform::fake {

class MemoryRegistry final : public Registry {
public:
    std::set<std::string> keys;
    std::map<std::pair<std::string, std::string>, std::string> values;

    bool createKey(std::string_view key) override;
    bool keyExists(std::string_view key) override;
    std::optional<std::string> get(std::string_view key, std::string_view name) override;
    bool set(std::string_view key, std::string_view name, std::string_view value) override;
};

} // namespace vna::platform::fake
