// How quorrel watch writes its events: a line for people, or one JSON object per line for
// scripts, each with the time of the round that saw the change.
#pragma once

#include <chrono>
#include <string>

#include "watch_changes.h"

namespace quorrel::cli {

// Local time to the millisecond with the offset from UTC: "2025-03-01T14:05:09.250+01:00".
std::string EventTime(std::chrono::system_clock::time_point at);

// "TIME 1A2B3 appeared: DHCP Off, address 10.77.0.10, mask 255.255.0.0, gateway 10.77.0.1, chip QX-100",
// "TIME 1B3C4 changed: address 10.77.0.11 to 10.77.1.11, DHCP Off to On",
// "TIME 1E6F7 gone: last seen at 10.77.0.14".
std::string WatchEventText(const WatchEvent& event, const std::string& time);

// {"time", "event": "appeared"|"changed"|"gone", "serial", "unit": discover's object for the unit
// (as last seen, for gone)}, and for changed "changes": {FIELD: {"from", "to"}} with the fields
// named and valued as in "unit". On one line.
std::string WatchEventJson(const WatchEvent& event, const std::string& time);

}  // namespace quorrel::cli
