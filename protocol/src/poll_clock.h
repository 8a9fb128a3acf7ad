// Waiting between receive attempts, and the monotonic clock of the runaway guard, as an interface
// so tests count waits and move time without sleeping.
#pragma once

#include <chrono>

namespace varl {

class PollClock {
public:
    virtual ~PollClock() = default;

    // Blocks the calling thread for duration.
    virtual void Wait(std::chrono::milliseconds duration) = 0;

    // Monotonic time; only the guard against endless discoveries reads it.
    virtual std::chrono::steady_clock::time_point Now() = 0;
};

class SteadyPollClock final : public PollClock {
public:
    void Wait(std::chrono::milliseconds duration) override;
    std::chrono::steady_clock::time_point Now() override;
};

}  // namespace varl
