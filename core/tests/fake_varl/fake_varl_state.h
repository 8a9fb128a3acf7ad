// What a fake protocol library answers and what it was asked: the tests script it through the
// one control export FakeVarl_State, looked up with dlsym on the same handle the binding loads.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
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

// A unit of the site the fake plays when no discovery answer is scripted.
struct SiteUnit {
    DeviceRecord record{};
    // Takes the addressing of a set-configuration message naming it, as a unit does at once.
    bool takesConfiguration = true;
    // Answers discoveries after it was sent a configuration: a unit that goes away does not.
    bool answersAfterConfiguration = true;
    bool configured = false;
};

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
    // One answer per discovery call, in order; a call with none left answers with the site.
    std::deque<DiscoverAnswer> discoverAnswers;
    // The units that answer once the scripted answers are used up, and take the set-configuration
    // messages that name them.
    std::vector<SiteUnit> site;
    VarlBool setConfigResult = 1;
    VarlBool uploadResult = 1;
    // An upload to one of these addresses fails with its text, whatever uploadResult says; the
    // text is kept for the thread that called.
    std::map<std::uint32_t, std::string> uploadFailures;
    // What VARL_Error_LastErr hands out next; it empties the text, as the real library does.
    std::string errorText;
    std::vector<RecordedCall> calls;
    // How long discovery, set-configuration and upload take before they answer, as a far site or a
    // slow unit makes them: the calls block their caller that long.
    std::uint32_t callDurationMs = 0;
    // Called on entry to every export, with its name.
    std::function<void(const std::string&)> onCall;

    void Reset() { *this = State{}; }
};

}  // namespace fake_varl

extern "C" fake_varl::State* FakeVarl_State();
