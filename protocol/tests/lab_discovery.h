// What lab tests of the library's exports share: a discovery through the export with room for
// every unit, the last-error text, and an environment variable set for a test's span.
#pragma once

#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "varl.h"

namespace varl::testing {

// The records of one discovery through VARL_Admin_Discover, or ok false on failure.
struct Found {
    bool ok = false;
    std::vector<DeviceRecord> records;

    std::set<uint32_t> Serials() const {
        std::set<uint32_t> serials;
        for (const DeviceRecord& record : records) serials.insert(record.serial);
        return serials;
    }
    // The unit's record, or null when it was not found.
    const DeviceRecord* Unit(uint32_t serial) const {
        for (const DeviceRecord& record : records) {
            if (record.serial == serial) return &record;
        }
        return nullptr;
    }
};

// Discovers with room for `room` units.
inline Found Discover(uint32_t timeoutMs, uint32_t room = 32) {
    Found found;
    found.records.resize(room);
    uint32_t count = room;
    found.ok = VARL_Admin_Discover(&count, found.records.data(), timeoutMs) != 0;
    found.records.resize(found.ok ? count : 0);
    return found;
}

// The library's last-error text, which the call empties.
inline std::string TakeLastError() {
    char buffer[500];
    VARL_Error_LastErr(buffer);
    return buffer;
}

// An environment variable set for the object's life.
class Environment {
public:
    Environment(const char* name, const char* value) : name_(name) { setenv(name, value, 1); }
    ~Environment() { unsetenv(name_); }
    Environment(const Environment&) = delete;
    Environment& operator=(const Environment&) = delete;

private:
    const char* name_;
};

}  // namespace varl::testing
