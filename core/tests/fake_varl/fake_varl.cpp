// A stand-in for libvarl.so that the core's and the tool's tests load through the core's binding.
// Compile definitions leave out one export each, to build the libraries a broken installation would
// present.
#include <algorithm>
#include <chrono>
#include <cstring>
#include <mutex>
#include <thread>

#include "fake_varl_state.h"

#define FAKE_VARL_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

// The buffer size the core hands to VARL_Error_LastErr; a longer text is cut there, without its
// NUL, to test that the core reads no further than its buffer.
constexpr std::size_t kCoreErrorBufferSize = 500;

fake_varl::State g_state;
// Programs may call from several threads at once, as quorrel's parallel uploads do: every export
// holds this lock for its whole call. Recursive, so that a test's onCall may read the state.
std::recursive_mutex g_lock;
// A failed upload's text belongs to the thread that called, as the real library keeps each
// thread's text; the scripted errorText goes to whichever thread asks.
thread_local std::string t_uploadFailure;

[[maybe_unused]] fake_varl::DiscoverAnswer SiteAnswer() {
    fake_varl::DiscoverAnswer answer;
    for (const fake_varl::SiteUnit& unit : g_state.site) {
        if (!unit.configured || unit.answersAfterConfiguration) answer.records.push_back(unit.record);
    }
    answer.count = static_cast<std::uint32_t>(answer.records.size());
    return answer;
}

// What a unit does with a set-configuration message: DHCP on (any mode but 0) keeps its
// addresses, static takes the three.
[[maybe_unused]] void ConfigureSite(const DeviceRecord& sent) {
    for (fake_varl::SiteUnit& unit : g_state.site) {
        if (unit.record.serial != sent.serial) continue;
        unit.configured = true;
        if (!unit.takesConfiguration) continue;
        unit.record.dhcpMode = sent.dhcpMode == 0 ? 0 : 1;
        if (sent.dhcpMode != 0) continue;
        unit.record.address = sent.address;
        unit.record.netMask = sent.netMask;
        unit.record.gateway = sent.gateway;
    }
}

fake_varl::RecordedCall& Record(const char* exportName) {
    if (g_state.onCall) {
        g_state.onCall(exportName);
    }
    g_state.calls.push_back({});
    g_state.calls.back().exportName = exportName;
    return g_state.calls.back();
}

// A command's export lasting as long as the test asked.
// A call that talks to units lasts a while. The wait is outside the lock, so that calls from
// several threads overlap as the library's do.
void TakeCallDuration() { std::this_thread::sleep_for(std::chrono::milliseconds(g_state.callDurationMs)); }

}  // namespace

FAKE_VARL_EXPORT fake_varl::State* FakeVarl_State() { return &g_state; }

#ifndef FAKE_VARL_WITHOUT_DISCOVER
FAKE_VARL_EXPORT VarlBool VARL_Admin_Discover(uint32_t* count, DeviceRecord* records, uint32_t timeoutMs) {
    TakeCallDuration();
    const std::lock_guard lock(g_lock);
    fake_varl::RecordedCall& call = Record("VARL_Admin_Discover");
    call.capacity = *count;
    call.timeoutMs = timeoutMs;
    call.recordsNull = records == nullptr;

    fake_varl::DiscoverAnswer answer = SiteAnswer();
    if (!g_state.discoverAnswers.empty()) {
        answer = g_state.discoverAnswers.front();
        g_state.discoverAnswers.pop_front();
    }
    if (answer.result == 0) {
        return 0;
    }
    if (records != nullptr) {
        const std::size_t copied = std::min<std::size_t>(*count, answer.records.size());
        std::copy_n(answer.records.begin(), copied, records);
    }
    *count = answer.count;
    return 1;
}
#endif

#ifndef FAKE_VARL_WITHOUT_SET_CONFIG
FAKE_VARL_EXPORT VarlBool VARL_Admin_SetConfig(uint32_t ignored, const DeviceRecord* record) {
    TakeCallDuration();
    const std::lock_guard lock(g_lock);
    fake_varl::RecordedCall& call = Record("VARL_Admin_SetConfig");
    call.firstArgument = ignored;
    call.record = *record;
    if (g_state.setConfigResult != 0) ConfigureSite(*record);
    return g_state.setConfigResult;
}
#endif

#ifndef FAKE_VARL_WITHOUT_UPLOAD_FILE
FAKE_VARL_EXPORT VarlBool VARL_Admin_UploadFile(uint32_t address, const char* localPath, const char* ignored,
                                                const char* remoteName, uint32_t ignored2) {
    TakeCallDuration();
    const std::lock_guard lock(g_lock);
    fake_varl::RecordedCall& call = Record("VARL_Admin_UploadFile");
    call.address = address;
    call.localPath = localPath;
    call.ignoredText = ignored;
    call.remoteName = remoteName;
    call.ignoredNumber = ignored2;
    const auto failure = g_state.uploadFailures.find(address);
    if (failure == g_state.uploadFailures.end()) return g_state.uploadResult;
    t_uploadFailure = failure->second;
    return 0;
}
#endif

#ifndef FAKE_VARL_WITHOUT_LAST_ERR
FAKE_VARL_EXPORT void VARL_Error_LastErr(char* buffer) {
    const std::lock_guard lock(g_lock);
    Record("VARL_Error_LastErr");
    std::string& text = t_uploadFailure.empty() ? g_state.errorText : t_uploadFailure;
    std::strncpy(buffer, text.c_str(), kCoreErrorBufferSize);
    text.clear();
}
#endif
