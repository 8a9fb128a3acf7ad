#include "watch_command.h"

#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "discovery.h"
#include "exit_status.h"
#include "format_option.h"
#include "watch_changes.h"
#include "watch_events.h"

namespace quorrel::cli {
namespace {

using Clock = std::chrono::steady_clock;

// A round asks again, for a unit missing from its first answers, with a quarter of the time-out:
// the units that answer at all answer within it, and a lost reply should not cost a whole
// time-out.
constexpr std::uint32_t kAskAgainShare = 4;

// A day between rounds at the most.
constexpr double kLongestIntervalSeconds = 86400;

// What is wrong with an --interval, or nothing. Written as "between", not with CLI::Range, since a
// NaN ("nan") fails every comparison and so passes a check for lying outside.
std::string IntervalProblem(const std::string& text) {
    double seconds = 0;
    if (CLI::detail::lexical_cast(text, seconds) && seconds >= 0 && seconds <= kLongestIntervalSeconds) return {};
    return "Value " + text + " not in range 0 to 86400";
}

// SIGINT and SIGTERM as a descriptor to wait on: blocked in this thread and in every thread it
// starts, each stays pending until read from the descriptor. The mask is restored at the end.
class StopSignals {
public:
    StopSignals() {
        sigemptyset(&m_signals);
        sigaddset(&m_signals, SIGINT);
        sigaddset(&m_signals, SIGTERM);
        pthread_sigmask(SIG_BLOCK, &m_signals, &m_previousMask);
        m_descriptor = signalfd(-1, &m_signals, SFD_CLOEXEC | SFD_NONBLOCK);
    }
    ~StopSignals() {
        if (m_descriptor >= 0) close(m_descriptor);
        pthread_sigmask(SIG_SETMASK, &m_previousMask, nullptr);
    }
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    bool Usable() const { return m_descriptor >= 0; }

    // Waits until a stop signal comes (true), or until ready becomes readable or the time-out
    // passes (false). ready < 0: none; timeout absent: none.
    bool Wait(int ready, std::optional<Clock::time_point> until) const {
        for (;;) {
            pollfd descriptors[2] = {{m_descriptor, POLLIN, 0}, {ready, POLLIN, 0}};
            int timeoutMs = -1;
            if (until) {
                const auto left = std::chrono::ceil<std::chrono::milliseconds>(*until - Clock::now()).count();
                timeoutMs = static_cast<int>(std::clamp<long long>(left, 0, 60'000));
            }
            const int woken = poll(descriptors, ready >= 0 ? 2 : 1, timeoutMs);
            if (woken < 0 && errno != EINTR) return false;
            if (woken > 0 && (descriptors[0].revents & POLLIN) != 0) {
                signalfd_siginfo info{};
                (void)!read(m_descriptor, &info, sizeof info);
                return true;
            }
            if (woken > 0 && (descriptors[1].revents & POLLIN) != 0) return false;
            if (woken == 0 && until && Clock::now() >= *until) return false;
        }
    }

private:
    sigset_t m_signals{};
    sigset_t m_previousMask{};
    int m_descriptor = -1;
};

// The exports as they are when a discovery starts, owned by the discovery's thread.
class CopiedExports final : public LibraryExports {
public:
    explicit CopiedExports(const LibraryExports& library)
        : m_discover(library.Discover()),
          m_setConfig(library.SetConfig()),
          m_uploadFile(library.UploadFile()),
          m_lastError(library.LastError()) {}

    DiscoverFunction Discover() const override { return m_discover; }
    SetConfigFunction SetConfig() const override { return m_setConfig; }
    UploadFileFunction UploadFile() const override { return m_uploadFile; }
    LastErrorFunction LastError() const override { return m_lastError; }

private:
    DiscoverFunction m_discover;
    SetConfigFunction m_setConfig;
    UploadFileFunction m_uploadFile;
    LastErrorFunction m_lastError;
};

// A discovery on a thread of its own, so that a stop need not wait for its time-out. The library's
// call cannot be cut short: when a stop comes first, the thread is left to end with the program,
// and it reaches nothing of its caller's, only what it shares with it here.
struct DiscoveryOnItsThread {
    DiscoveryOnItsThread(const LibraryExports& library, std::uint32_t timeoutMs)
        : exports(library), timeoutMs(timeoutMs) {}
    ~DiscoveryOnItsThread() {
        if (done >= 0) close(done);
    }
    DiscoveryOnItsThread(const DiscoveryOnItsThread&) = delete;
    DiscoveryOnItsThread& operator=(const DiscoveryOnItsThread&) = delete;

    const CopiedExports exports;
    const std::uint32_t timeoutMs;
    Discovery result;
    // Readable once result is there.
    const int done = eventfd(0, EFD_CLOEXEC);
};

// The discovery's result, or nothing when a stop signal came first.
std::optional<Discovery> DiscoverUnlessStopped(const LibraryExports& library, std::uint32_t timeoutMs,
                                               const StopSignals& stop) {
    auto discovery = std::make_shared<DiscoveryOnItsThread>(library, timeoutMs);
    if (discovery->done < 0) return DiscoverAllUnits(library, kSiteCapacity, timeoutMs);
    std::thread thread([discovery] {
        discovery->result = DiscoverAllUnits(discovery->exports, kSiteCapacity, discovery->timeoutMs);
        const std::uint64_t one = 1;
        (void)!write(discovery->done, &one, sizeof one);
    });
    if (stop.Wait(discovery->done, std::nullopt)) {
        thread.detach();
        return std::nullopt;
    }
    thread.join();
    return std::move(discovery->result);
}

}  // namespace

void DefineWatchCommand(CLI::App& program, Invocation& invocation) {
    auto options = std::make_shared<WatchOptions>();
    auto format = std::make_shared<std::string>("text");
    CLI::App* command = AddCommand(
        program, invocation, "watch", "Discover again and again and say what changed, until Ctrl-C",
        std::string("Usage: quorrel watch [--interval SECONDS] [--format text|json] ") + kCommonUsage,
        "Prints one line per change, each with its time: a unit appeared, changed (which fields, from what\n"
        "to what) or is gone. The first discovery shows every unit as appeared. A unit is gone only after it\n"
        "missed three rounds in a row; a round asks up to three times while a unit seen before is missing.\n"
        "A failed discovery is reported on standard error and the next round tries again. Ctrl-C or SIGTERM\n"
        "ends it with exit status 0.\n\n"
        "Examples:\n"
        "  quorrel watch\n"
        "  quorrel watch --interval 60 --format json >> units.log");
    command
        ->add_option("--interval", options->intervalSeconds,
                     "Start a round every SECONDS (default 5; a round takes\nat least the time-out)")
        ->option_text("SECONDS")
        ->check(IntervalProblem);
    AddFormatOption(*command, *format, {"text", "json"},
                    "text: a line per event (the default); json: one object per line");
    command->callback([&invocation, options, format] {
        options->json = *format == "json";
        invocation.run = RunOf<WatchOptions>(invocation, options, RunWatch);
    });
}

int RunWatch(const LibraryExports& library, const CommonOptions& common, const WatchOptions& options,
             const Console& console) {
    const StopSignals stop;
    if (!stop.Usable()) {
        console.Error("cannot wait for Ctrl-C and SIGTERM");
        return kExitFailed;
    }
    const auto interval = std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(options.intervalSeconds));
    const std::uint32_t askAgainTimeoutMs = std::max<std::uint32_t>(1, common.timeoutMs / kAskAgainShare);
    WatchedUnits watched;
    for (;;) {
        const auto roundStart = Clock::now();
        std::vector<DeviceRecord> answers;
        std::optional<CallFailure> failure;
        for (int ask = 0; ask < kAsksPerRound && (ask == 0 || watched.AnyMissing(answers)); ++ask) {
            std::optional<Discovery> discovery =
                DiscoverUnlessStopped(library, ask == 0 ? common.timeoutMs : askAgainTimeoutMs, stop);
            if (!discovery) return kExitDone;
            if (discovery->failure) {
                failure = discovery->failure;
                break;
            }
            answers.insert(answers.end(), discovery->units.begin(), discovery->units.end());
        }
        // A round that failed says nothing about the units: none of them missed it.
        if (failure) {
            console.Failure(*failure);
            console.err.flush();
        } else {
            const std::string time = EventTime(std::chrono::system_clock::now());
            for (const WatchEvent& event : watched.Round(answers)) {
                console.out << (options.json ? WatchEventJson(event, time) : WatchEventText(event, time)) << '\n';
            }
            // Once a write fails (a full disk, a pipe whose reader left) the stream takes nothing
            // more: every later event would be lost unseen. main says that standard output failed.
            if (!console.out.flush()) return kExitFailed;
        }
        if (stop.Wait(-1, roundStart + interval)) return kExitDone;
    }
}

}  // namespace quorrel::cli
