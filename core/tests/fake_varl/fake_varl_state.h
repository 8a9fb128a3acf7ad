// What a fake protocol library answers and what it was asked: the tests script it through the
// one control export FakeVarl_State, looked up with dlsym on the same handle the binding loads.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "varl.h"

namespace fake_varl {

struct DiscoverAnswer {
    VarlBool result = 1;
    std::uint32_t count = 0;                // the count handed back
    std::vector<DeviceRecord> records;      // copied while the caller's capacity allows
};

// An answer that lists these units and counts exactly as many.
inline DiscoverAnswer Answer(const std::vector<DeviceRecord>& units) {
    return {1, static_cast<std::uint32_t>(units.size()), units};
}

struct RecordedCall {
    std::string exportName;
    // VARL_Admin_Discover
    std::uint32_t capacity = 0;
    std::uint32_t timeoutMs = 0;
    bool recordsNull = false;
    // VARL_Admin_SetConfig
    std::uint32_t firstArgument = 0;
    DeviceRecord record{};
    // VARL_Admin_UploadFile
    std::uint32_t address = 0;
    std::string localPath;
    std::string ignoredText;
    std::string remoteName;
    std::uint32_t ignoredNumber = 0;
};

struct State {
    // One answer per discovery call, in order; a call with none left finds no unit.
    std::deque<DiscoverAnswer> discoverAnswers;
    VarlBool setConfigResult = 1;
    VarlBool uploadResult = 1;
    // What VARL_Error_LastErr hands out next; it empties the text, as the real library does.
    std::string errorText;
    std::vector<RecordedCall> calls;
    // Called on entry to every export, with its name.
    std::function<void(const std::string&)> onCall;

    void Reset() { *this = State{}; }
};

}  // namespace fake_varl

extern "C" fake_varl::State* FakeVarl_State();
