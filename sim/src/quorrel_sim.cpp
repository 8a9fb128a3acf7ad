// quorrel-sim: plays one or many Quorrel units on UDP port 8001.
//
//   quorrel-sim (--units-file FILE | --unit "SERIAL DHCP ADDRESS MASK GATEWAY CHIP [options]"...)
//               [--log FILE] [--port 8001] [--control-port 8009] [--ready-file FILE]
//   quorrel-sim --print-lab-table N [--second-link]
//
// A discovery request ("0 1", exactly 3 bytes) is answered with one reply per unit that hears it,
// sent to the request's source address and port; a set-configuration message naming one of the
// units that hears it changes it. A unit cabled to a link (link=INTERFACE in the table) hears only
// what comes in on that interface. Replies leave no faster than a gigabit Ethernet link carries
// them. The control port takes "load PATH" (replace the unit table) and answers "ok N" or
// "error ...". --print-lab-table writes the unit table of a lab with N units (scripts/lab), with
// the second link's units if asked, and exits.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <net/if.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "datagram_log.h"
#include "lab_units.h"
#include "unit_table.h"

namespace {

using Clock = std::chrono::steady_clock;

volatile std::sig_atomic_t stopRequested = 0;

struct Options {
    std::string unitsFile;
    std::vector<std::string> unitLines;
    std::string logPath;
    std::string readyFile;
    int port = 8001;
    int controlPort = 8009;
};

// A reply waiting for its time; ties leave in the order they were scheduled.
struct PendingDatagram {
    std::string bytes;
    sockaddr_in destination{};
};

int Usage() {
    std::fprintf(stderr,
                 "usage: quorrel-sim (--units-file FILE | --unit \"SERIAL DHCP ADDRESS MASK GATEWAY CHIP\"...)\n"
                 "                   [--log FILE] [--port N] [--control-port N] [--ready-file FILE]\n"
                 "       quorrel-sim --print-lab-table N [--second-link]\n");
    return 2;
}

// How long a datagram of payload bytes occupies a gigabit Ethernet link: UDP and IPv4 headers (28
// bytes, padded to the 46-byte minimum), the Ethernet header and checksum (18), preamble and
// inter-frame gap (20), at 8 ns a byte. A short reply takes about a microsecond.
std::chrono::nanoseconds GigabitWireTime(std::size_t payload) {
    return std::chrono::nanoseconds(8 * (std::max<std::size_t>(payload + 28, 46) + 38));
}

// The name of the interface with index, or "?" when it has none.
std::string InterfaceName(unsigned index) {
    char name[IF_NAMESIZE] = {};
    return if_indextoname(index, name) != nullptr ? name : "?";
}

int OpenUdpSocket(int port) {
    int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    int one = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    // A thousand units answer in one burst, and many requests may queue while they do.
    int bufferBytes = 8 << 20;
    setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &bufferBytes, sizeof bufferBytes);
    setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &bufferBytes, sizeof bufferBytes);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(static_cast<uint16_t>(port));
    local.sin_addr.s_addr = htonl(INADDR_ANY);
    if (bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

std::string SourceText(const sockaddr_in& source) {
    char address[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &source.sin_addr, address, sizeof address);
    return std::string(address) + ":" + std::to_string(ntohs(source.sin_port));
}

bool ReadFile(const std::string& path, std::string& contents) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream all;
    all << in.rdbuf();
    contents = all.str();
    return true;
}

class Simulator {
public:
    Simulator(sim::UnitTable table, const std::string& logPath) : table_(std::move(table)), log_(logPath) {}

    bool LogFailed(const std::string& logPath) const { return !logPath.empty() && !log_.IsOpen(); }

    // link: the interface the datagram came in on.
    void OnUnitDatagram(std::string_view bytes, const sockaddr_in& source, const std::string& link) {
        log_.Record(SourceText(source), link, bytes);
        if (bytes == "0 1") {
            ScheduleReplies(source, link);
        } else {
            sim::ApplySetConfig(table_, bytes, link);
        }
    }

    std::string OnControl(std::string_view command) {
        if (command.substr(0, 5) != "load ") return "error unknown command";
        std::string path(command.substr(5));
        while (!path.empty() && (path.back() == '\n' || path.back() == '\r')) path.pop_back();
        std::string text, error;
        if (!ReadFile(path, text)) return "error cannot read " + path;
        auto table = sim::ParseUnitTable(text, error);
        if (!table) return "error " + error;
        table_ = std::move(*table);
        pending_.clear();
        return "ok " + std::to_string(table_.units.size());
    }

    // When the next reply may leave (its due time, or later while the link is busy), or nothing
    // when none waits.
    std::optional<Clock::time_point> NextDeparture() const {
        if (pending_.empty()) return std::nullopt;
        return std::max(pending_.begin()->first.first, linkFreeAt_);
    }

    void SendDue(int fd) {
        const auto now = Clock::now();
        // An idle (or late) link saves up no more than the slack.
        if (linkFreeAt_ + kLinkSlack < now) linkFreeAt_ = now - kLinkSlack;
        while (!pending_.empty() && pending_.begin()->first.first <= now && linkFreeAt_ <= now) {
            const PendingDatagram& datagram = pending_.begin()->second;
            // Blocking send: a full send buffer only slows a large burst down.
            sendto(fd, datagram.bytes.data(), datagram.bytes.size(), 0,
                   reinterpret_cast<const sockaddr*>(&datagram.destination), sizeof datagram.destination);
            linkFreeAt_ = std::max(linkFreeAt_, pending_.begin()->first.first) + GigabitWireTime(datagram.bytes.size());
            pending_.erase(pending_.begin());
        }
    }

private:
    void Schedule(int delayMs, int jitterMs, std::string bytes, const sockaddr_in& destination) {
        int jitter = jitterMs > 0 ? std::uniform_int_distribution<int>(0, jitterMs)(random_) : 0;
        auto due = Clock::now() + std::chrono::milliseconds(delayMs + jitter);
        pending_.emplace(std::make_pair(due, sequence_++), PendingDatagram{std::move(bytes), destination});
    }

    void ScheduleReplies(const sockaddr_in& requester, const std::string& link) {
        // One clock reading for the whole burst, so undelayed replies leave in table order.
        for (const sim::SimulatedUnit& unit : table_.units) {
            if (!sim::Hears(unit, link)) continue;
            std::string reply = sim::FormatReply(unit);
            Schedule(unit.delayMs, unit.jitterMs, reply, requester);
            if (unit.answersTwice) Schedule(unit.delayMs, unit.jitterMs, reply, requester);
        }
        for (const sim::ExtraDatagram& extra : table_.extras) Schedule(extra.delayMs, 0, extra.bytes, requester);
    }

    // The link sends at once what it could have sent in this much time before now, no more: a
    // late wake-up catches up that far, and a burst never runs further ahead of a gigabit link.
    static constexpr std::chrono::microseconds kLinkSlack{20};

    sim::UnitTable table_;
    sim::DatagramLog log_;
    // The replies of all units share one link; the next may leave once this one is on the wire.
    Clock::time_point linkFreeAt_{};
    std::multimap<std::pair<Clock::time_point, uint64_t>, PendingDatagram> pending_;
    uint64_t sequence_ = 0;
    std::mt19937 random_{std::random_device{}()};
};

}  // namespace

int main(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        auto value = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
        const char* v = nullptr;
        if (arg == "--units-file" && (v = value())) options.unitsFile = v;
        else if (arg == "--unit" && (v = value())) options.unitLines.push_back(std::string("unit ") + v);
        else if (arg == "--log" && (v = value())) options.logPath = v;
        else if (arg == "--ready-file" && (v = value())) options.readyFile = v;
        else if (arg == "--port" && (v = value())) options.port = std::atoi(v);
        else if (arg == "--control-port" && (v = value())) options.controlPort = std::atoi(v);
        else if (arg == "--print-lab-table" && (v = value()) && i == 2) {
            const int count = std::atoi(v);
            if (argc == 3) {
                std::fputs(sim::FormatUnitTable(sim::LabUnits(count)).c_str(), stdout);
            } else if (argc == 4 && std::string(argv[3]) == "--second-link") {
                std::fputs(sim::FormatUnitTable(sim::TwoLinkLabUnits(count)).c_str(), stdout);
            } else {
                return Usage();
            }
            return 0;
        }
        else return Usage();
    }

    std::string tableText;
    if (!options.unitsFile.empty() && !ReadFile(options.unitsFile, tableText)) {
        std::fprintf(stderr, "quorrel-sim: cannot read %s\n", options.unitsFile.c_str());
        return 1;
    }
    for (const std::string& line : options.unitLines) tableText += "\n" + line;
    std::string error;
    auto table = sim::ParseUnitTable(tableText, error);
    if (!table) {
        std::fprintf(stderr, "quorrel-sim: %s\n", error.c_str());
        return 1;
    }

    Simulator simulator(std::move(*table), options.logPath);
    if (simulator.LogFailed(options.logPath)) {
        std::fprintf(stderr, "quorrel-sim: cannot open log %s\n", options.logPath.c_str());
        return 1;
    }
    int unitSocket = OpenUdpSocket(options.port);
    int controlSocket = OpenUdpSocket(options.controlPort);
    if (unitSocket < 0 || controlSocket < 0) {
        std::fprintf(stderr, "quorrel-sim: cannot bind UDP ports %d and %d: %s\n", options.port,
                     options.controlPort, std::strerror(errno));
        return 1;
    }

    struct sigaction stop{};
    stop.sa_handler = [](int) { stopRequested = 1; };
    sigaction(SIGTERM, &stop, nullptr);
    sigaction(SIGINT, &stop, nullptr);

    // The interface each request comes in on decides which units hear it.
    const int one = 1;
    setsockopt(unitSocket, IPPROTO_IP, IP_PKTINFO, &one, sizeof one);
    // Wake-ups close to the microsecond for pacing, rather than the default 50 us late.
    prctl(PR_SET_TIMERSLACK, 1000UL);

    if (!options.readyFile.empty()) std::ofstream(options.readyFile) << getpid() << "\n";

    std::vector<char> buffer(65536);
    std::map<unsigned, std::string> linkNames;
    while (!stopRequested) {
        pollfd fds[2] = {{unitSocket, POLLIN, 0}, {controlSocket, POLLIN, 0}};
        timespec timeout{};
        const std::optional<Clock::time_point> departure = simulator.NextDeparture();
        if (departure) {
            const auto wait = std::max(Clock::duration::zero(), *departure - Clock::now());
            const auto nanoseconds = std::chrono::duration_cast<std::chrono::nanoseconds>(wait).count();
            timeout = {static_cast<time_t>(nanoseconds / 1000000000), static_cast<long>(nanoseconds % 1000000000)};
        }
        int ready = ppoll(fds, 2, departure ? &timeout : nullptr, nullptr);
        if (ready < 0 && errno != EINTR) break;
        if (ready > 0 && (fds[0].revents & POLLIN)) {
            sockaddr_in source{};
            iovec part{buffer.data(), buffer.size()};
            alignas(cmsghdr) char control[CMSG_SPACE(sizeof(in_pktinfo))];
            msghdr message{};
            message.msg_name = &source;
            message.msg_namelen = sizeof source;
            message.msg_iov = &part;
            message.msg_iovlen = 1;
            message.msg_control = control;
            message.msg_controllen = sizeof control;
            ssize_t n = recvmsg(unitSocket, &message, 0);
            unsigned link = 0;
            for (cmsghdr* header = CMSG_FIRSTHDR(&message); header != nullptr; header = CMSG_NXTHDR(&message, header)) {
                if (header->cmsg_level == IPPROTO_IP && header->cmsg_type == IP_PKTINFO) {
                    in_pktinfo info{};
                    std::memcpy(&info, CMSG_DATA(header), sizeof info);
                    link = static_cast<unsigned>(info.ipi_ifindex);
                }
            }
            auto name = linkNames.find(link);
            if (name == linkNames.end()) name = linkNames.emplace(link, InterfaceName(link)).first;
            if (n >= 0) {
                simulator.OnUnitDatagram(std::string_view(buffer.data(), static_cast<size_t>(n)), source, name->second);
            }
        }
        if (ready > 0 && (fds[1].revents & POLLIN)) {
            sockaddr_in source{};
            socklen_t length = sizeof source;
            ssize_t n = recvfrom(controlSocket, buffer.data(), buffer.size(), 0,
                                 reinterpret_cast<sockaddr*>(&source), &length);
            if (n >= 0) {
                std::string answer = simulator.OnControl(std::string_view(buffer.data(), static_cast<size_t>(n)));
                sendto(controlSocket, answer.data(), answer.size(), 0, reinterpret_cast<sockaddr*>(&source), length);
            }
        }
        simulator.SendDue(unitSocket);
    }
    close(unitSocket);
    close(controlSocket);
    return 0;
}
