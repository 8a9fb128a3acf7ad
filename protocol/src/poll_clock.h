// The monotonic clock that schedules the receive attempts and guards against endless exchanges,
// as an interface so tests move time without sleeping.
#pragma once

#include <chrono>

namespace varl {

class PollClock {
public:
    virtual ~PollClock() = default;

    virtual std::chrono::steady_clock::time_point Now() = 0;
};

class SteadyPollClock final : public PollClock {
public:
    std::chrono::steady_clock::time_point Now() override;
};

}  // namespace varl
