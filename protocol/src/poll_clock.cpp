#include "poll_clock.h"

namespace varl {

std::chrono::steady_clock::time_point SteadyPollClock::Now() { return std::chrono::steady_clock::now(); }

}  // namespace varl
