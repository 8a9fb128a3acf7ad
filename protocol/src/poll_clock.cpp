#include "poll_clock.h"

#include <thread>

namespace varl {

void SteadyPollClock::Wait(std::chrono::milliseconds duration) { std::this_thread::sleep_for(duration); }

std::chrono::steady_clock::time_point SteadyPollClock::Now() { return std::chrono::steady_clock::now(); }

}  // namespace varl
