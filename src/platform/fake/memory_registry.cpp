#include "platform/fake/memory_registry.h"

namespace vna::platform::fake {

bool MemoryRegistry::createKey(std::string_view key) {
    keys.insert(std::string(key));
    return true;
}

bool MemoryRegistry::keyExists(std::string_view key) {
    return keys.count(std::string(key)) > 0;
}

std::optional<std::string> MemoryRegistry::get(std::string_view key, std::string_view name) {
    auto it = values.find({std::string(key), std::string(name)});
    if (it == values.end()) {
        return std::nullopt;
    }
    return it->second;
}

bool MemoryRegistry::set(std::string_view key, std::string_view name, std::string_view value) {
    keys.insert(std::string(key));
    values[{std::string(key), std::string(name)}] = std::string(value);
    return true;
}

} // namespace vna::platform::fake
