// Discovery's wall time against the waits it counted, and the units it found, at 0, 6, 1,000 and
// 10,000 units answering at once. A 2000 ms discovery counts 60 ms per poll of three attempts but
// waits 20 ms only between them, so with no unit it lasts 68 waits of 20 ms, about 1.36 s; replies
// read during a wait must not lengthen it. Runs inside the lab: bench/run-discovery-bench.
//   discovery_bench [--runs N] [--cap-buffer BYTES]
// --cap-buffer cuts the socket's receive buffer to what a kernel whose net.core.rmem_max is BYTES
// grants a process without CAP_NET_ADMIN (a stock kernel: 212992), whatever this host's setting.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "capped_socket.h"
#include "datagram_socket.h"
#include "lab_units.h"
#include "network_interfaces.h"
#include "poll_clock.h"
#include "udp_exchanges.h"

namespace {

constexpr uint32_t kTimeOutMs = 2000;
constexpr int kUnitCounts[] = {0, 6, 1000, 10000};

std::string LabDir() {
    const char* labDir = std::getenv("LAB_DIR");
    if (labDir == nullptr) {
        std::fprintf(stderr, "LAB_DIR is not set: run this inside scripts/lab (bench/run-discovery-bench)\n");
        std::exit(2);
    }
    return labDir;
}

// Has the lab's simulator replace its units with the first count of sim::LabUnits.
bool LoadUnits(int count) {
    const std::string path = LabDir() + "/bench-units.conf";
    std::ofstream(path) << sim::FormatUnitTable(sim::LabUnits(count));
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in control{};
    control.sin_family = AF_INET;
    control.sin_port = htons(8009);
    inet_pton(AF_INET, "10.77.0.2", &control.sin_addr);
    const std::string command = "load " + path;
    sendto(fd, command.data(), command.size(), 0, reinterpret_cast<sockaddr*>(&control), sizeof control);
    pollfd wanted{fd, POLLIN, 0};
    char answer[100] = {};
    const bool answered = poll(&wanted, 1, 5000) == 1 && recv(fd, answer, sizeof answer - 1, 0) > 0;
    close(fd);
    return answered && answer == "ok " + std::to_string(count);
}

struct Run {
    double wallMs;
    double countedWaitsMs;
    uint32_t found;
    uint32_t requests;
    uint32_t dropped;
};

Run Discover(int capBytes) {
    varl::testing::CappedSocket socket(capBytes);
    varl::SteadyPollClock clock;
    varl::SystemInterfaceList interfaces;
    varl::Exchange exchange{socket, clock, interfaces, {}, {}};
    uint32_t count = 0;
    const auto started = std::chrono::steady_clock::now();
    const bool ok = varl::DiscoverUnits(exchange, &count, nullptr, kTimeOutMs).ok();
    const std::chrono::duration<double, std::milli> wall = std::chrono::steady_clock::now() - started;
    if (!ok) {
        std::fprintf(stderr, "discovery failed\n");
        std::exit(1);
    }
    return {wall.count(), 20.0 * exchange.tally.waits, count, exchange.tally.requests, exchange.tally.droppedByKernel};
}

}  // namespace

int main(int argc, char** argv) {
    int runs = 5;
    int capBytes = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--runs" && i + 1 < argc) {
            runs = std::max(1, std::atoi(argv[++i]));
        } else if (arg == "--cap-buffer" && i + 1 < argc) {
            capBytes = std::atoi(argv[++i]);
        } else {
            std::fprintf(stderr, "usage: discovery_bench [--runs N] [--cap-buffer BYTES]\n");
            return 2;
        }
    }
    std::printf("discovery, time-out %u ms, %s CAP_NET_ADMIN, receive buffer %s; %d runs each\n", kTimeOutMs,
                varl::testing::MayAdministerTheNetwork() ? "with" : "without",
                capBytes > 0 ? ("cut to " + std::to_string(capBytes)).c_str() : "as granted", runs);
    std::printf("%7s %14s %11s %11s %9s %9s %12s %13s %13s\n", "units", "counted waits", "wall (med)", "wall (max)",
                "ratio med", "ratio max", "found (min)", "requests max", "dropped max");
    for (const int units : kUnitCounts) {
        if (!LoadUnits(units)) {
            std::fprintf(stderr, "the simulator did not load %d units\n", units);
            return 1;
        }
        std::vector<Run> measured;
        for (int run = 0; run < runs; ++run) measured.push_back(Discover(capBytes));
        std::vector<double> ratios, walls;
        uint32_t fewest = UINT32_MAX, mostDropped = 0, mostRequests = 0;
        double countedMax = 0;
        for (const Run& run : measured) {
            ratios.push_back(run.wallMs / run.countedWaitsMs);
            walls.push_back(run.wallMs);
            fewest = std::min(fewest, run.found);
            mostDropped = std::max(mostDropped, run.dropped);
            mostRequests = std::max(mostRequests, run.requests);
            countedMax = std::max(countedMax, run.countedWaitsMs);
        }
        std::sort(ratios.begin(), ratios.end());
        std::sort(walls.begin(), walls.end());
        std::printf("%7d %11.0f ms %8.1f ms %8.1f ms %9.3f %9.3f %12u %13u %13u\n", units, countedMax,
                    walls[walls.size() / 2], walls.back(), ratios[ratios.size() / 2], ratios.back(), fewest, mostRequests,
                    mostDropped);
    }
    return 0;
}
