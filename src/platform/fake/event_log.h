#pragma once

#include <string>
#include <vector>

namespace vna::platform::fake {

// One ordered record of what several fakes saw, so a test can check the order in which the
// program used the different ports.
struct EventLog {
    std::vector<std::string> entries;
    void add(std::string entry) { entries.push_back(std::move(entry)); }
    // Position of the first entry that starts with `prefix`, or -1.
    int find(const std::string& prefix, int from = 0) const {
        for (int i = from; i < static_cast<int>(entries.size()); ++i) {
            if (entries[static_cast<std::size_t>(i)].rfind(prefix, 0) == 0) {
                return i;
            }
        }
        return -1;
    }
    int count(const std::string& prefix) const {
        int n = 0;
        for (const auto& e : entries) {
            n += e.rfind(prefix, 0) == 0 ? 1 : 0;
        }
        return n;
    }
};

} // namespace vna::platform::fake
