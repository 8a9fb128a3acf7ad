// quorrel-sim: plays one or many Quorrel units on UDP port 8001.
//
//   quorrel-sim (--units-file FILE | --unit "SERIAL DHCP ADDRESS MASK GATEWAY CHIP [options]"...)
//               [--log FILE] [--port 8001] [--control-port 8009] [--ready-file FILE]
//   quorrel-sim --print-lab-table N [--second-link | --routed-site]
//
// A discovery request ("0 1", exactly 3 bytes) is answered with one reply per unit it reaches,
// sent from that unit's own address to the request's source address and port; a
// set-configuration message naming one of the units it reaches changes it. A datagram reaches a
// unit when it comes in on the unit's link (link=INTERFACE in the table; every link without one)
// and is sent to 255.255.255.255, to the broadcast address of the unit's subnet or to the unit's
// own address: a request sent to one unit's address is answered by that unit alone. Replies leave
// no faster than a gigabit Ethernet link carries them. The control port takes "load PATH"
// (replace the unit table) and answers "ok N" or "error ...". --print-lab-table writes the unit
// table of a lab with N units (scripts/lab), with the second link's units or those of a routed
// site with N units if asked, and exits.
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
#include "unit_addressing.h"
#include "unit_table.h"

namespace {

using Clock = std::chrono::steady_clock;

volatile std::sig_atomic_t stopRequested = 0;

// The sends of a burst that fall due together leave in one call of at most this many.
constexpr unsigned kSendBatch = 64;

struct Options {
    std::string unitsFile;
    std::vector<std::string> unitLines;
    std::string logPath;
    std::string readyFile;
    int port = 8001;
    int controlPort = 8009;
    // --print-lab-table: the number of units, and which lab ("", "--second-link", "--routed-site").
    int labTableUnits = -1;
    std::string labKind;
};

// A reply waiting for its time; ties leave in the order they were scheduled.
struct PendingDatagram {
    std::string bytes;
    sockaddr_in destination{};
    // The unit's address the reply leaves from, first octet in the most significant byte; 0 for
    // whatever address the kernel picks (the datagrams that stand for no unit).
    uint32_t source = 0;
};

// One datagram that came in on the units' port.
struct Arrival {
    std::string_view bytes;
    sockaddr_in source{};
    std::string link;      // the units' side interface it came in on
    uint32_t destination;  // the address it was sent to, first octet in the most significant byte
};

int Usage() {
    std::fprintf(stderr,
                 "usage: quorrel-sim (--units-file FILE | --unit \"SERIAL DHCP ADDRESS MASK GATEWAY CHIP\"...)\n"
                 "                   [--log FILE] [--port N] [--control-port N] [--ready-file FILE]\n"
                 "       quorrel-sim --print-lab-table N [--second-link | --routed-site]\n");
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

    void OnUnitDatagram(const Arrival& arrival) {
        log_.Record(SourceText(arrival.source), arrival.link, arrival.bytes);
        if (arrival.bytes == "0 1") {
            ScheduleReplies(arrival);
        } else {
            sim::ApplySetConfigReaching(table_, arrival.bytes, arrival.link, arrival.destination);
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
        std::vector<PendingDatagram> due;
        while (!pending_.empty() && pending_.begin()->first.first <= now && linkFreeAt_ <= now) {
            due.push_back(std::move(pending_.begin()->second));
            linkFreeAt_ = std::max(linkFreeAt_, pending_.begin()->first.first) + GigabitWireTime(due.back().bytes.size());
            pending_.erase(pending_.begin());
            if (due.size() == kSendBatch) {
                SendEach(fd, due);
                due.clear();
            }
        }
        SendEach(fd, due);
    }

private:
    void Schedule(int delayMs, int jitterMs, std::string bytes, const sockaddr_in& destination, uint32_t source) {
        int jitter = jitterMs > 0 ? std::uniform_int_distribution<int>(0, jitterMs)(random_) : 0;
        auto due = Clock::now() + std::chrono::milliseconds(delayMs + jitter);
        pending_.emplace(std::make_pair(due, sequence_++), PendingDatagram{std::move(bytes), destination, source});
    }

    void ScheduleReplies(const Arrival& request) {
        bool reachedAUnit = false;
        for (const sim::SimulatedUnit& unit : table_.units) {
            if (!sim::Reaches(unit, request.link, request.destination)) continue;
            reachedAUnit = true;
            std::string reply = sim::FormatReply(unit);
            Schedule(unit.delayMs, unit.jitterMs, reply, request.source, unit.address);
            if (unit.answersTwice) Schedule(unit.delayMs, unit.jitterMs, reply, request.source, unit.address);
        }
        // The datagrams that stand for no unit come with every broadcast request and every one
        // that reached a unit.
        if (!reachedAUnit && request.destination != 0xFFFFFFFF) return;
        for (const sim::ExtraDatagram& extra : table_.extras) Schedule(extra.delayMs, 0, extra.bytes, request.source, 0);
    }

    // Sends the datagrams, each from its unit's address where it has one. sendmmsg stops at the
    // first datagram it cannot send; a source address this namespace does not hold (a unit moved
    // by set-configuration, where the socket may not send from any address) then leaves from
    // the kernel's choice.
    static void SendEach(int fd, std::vector<PendingDatagram>& datagrams) {
        union Control {
            cmsghdr aligned;
            char bytes[CMSG_SPACE(sizeof(in_pktinfo))];
        };
        const std::size_t count = datagrams.size();
        std::vector<mmsghdr> headers(count);
        std::vector<iovec> parts(count);
        std::vector<Control> controls(count);
        for (std::size_t i = 0; i < count; ++i) {
            PendingDatagram& datagram = datagrams[i];
            parts[i] = {datagram.bytes.data(), datagram.bytes.size()};
            msghdr& message = headers[i].msg_hdr;
            message.msg_name = &datagram.destination;
            message.msg_namelen = sizeof datagram.destination;
            message.msg_iov = &parts[i];
            message.msg_iovlen = 1;
            if (datagram.source == 0) continue;
            message.msg_control = controls[i].bytes;
            message.msg_controllen = sizeof controls[i].bytes;
            cmsghdr* header = CMSG_FIRSTHDR(&message);
            header->cmsg_level = IPPROTO_IP;
            header->cmsg_type = IP_PKTINFO;
            header->cmsg_len = CMSG_LEN(sizeof(in_pktinfo));
            in_pktinfo from{};
            from.ipi_spec_dst.s_addr = htonl(datagram.source);
            std::memcpy(CMSG_DATA(header), &from, sizeof from);
        }
        for (std::size_t next = 0; next < count;) {
            // Blocking sends: a full send buffer only slows a large burst down.
            const int sent = sendmmsg(fd, headers.data() + next, static_cast<unsigned>(count - next), 0);
            if (sent > 0) {
                next += static_cast<std::size_t>(sent);
                continue;
            }
            if (sent < 0 && errno == EINTR) continue;
            msghdr& message = headers[next].msg_hdr;
            message.msg_control = nullptr;
            message.msg_controllen = 0;
            sendmsg(fd, &message, 0);
            ++next;
        }
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

// Reads the command line; nothing when it is wrong.
std::optional<Options> ParseCommandLine(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
        const char* v = nullptr;
        if (arg == "--units-file" && (v = value())) options.unitsFile = v;
        else if (arg == "--unit" && (v = value())) options.unitLines.push_back(std::string("unit ") + v);
        else if (arg == "--log" && (v = value())) options.logPath = v;
        else if (arg == "--ready-file" && (v = value())) options.readyFile = v;
        else if (arg == "--port" && (v = value())) options.port = std::atoi(v);
        else if (arg == "--control-port" && (v = value())) options.controlPort = std::atoi(v);
        else if (arg == "--print-lab-table" && i == 1 && (v = value())) options.labTableUnits = std::atoi(v);
        else if ((arg == "--second-link" || arg == "--routed-site") && options.labTableUnits >= 0 && i == 3 && argc == 4)
            options.labKind = arg;
        else return std::nullopt;
    }
    if (options.labTableUnits >= 0 && argc != (options.labKind.empty() ? 3 : 4)) return std::nullopt;
    return options;
}

// The unit table of a lab (scripts/lab), on standard output.
void PrintLabTable(const Options& options) {
    const int count = options.labTableUnits;
    const std::vector<sim::SimulatedUnit> units = options.labKind == "--second-link" ? sim::TwoLinkLabUnits(count)
                                                  : options.labKind == "--routed-site" ? sim::RoutedSiteUnits(count)
                                                                                        : sim::LabUnits(count);
    std::fputs(sim::FormatUnitTable(units).c_str(), stdout);
}

// The table the simulator starts with: the file's entries, then those given one by one.
std::optional<sim::UnitTable> ReadStartingTable(const Options& options) {
    std::string tableText;
    if (!options.unitsFile.empty() && !ReadFile(options.unitsFile, tableText)) {
        std::fprintf(stderr, "quorrel-sim: cannot read %s\n", options.unitsFile.c_str());
        return std::nullopt;
    }
    for (const std::string& line : options.unitLines) tableText += "\n" + line;
    std::string error;
    auto table = sim::ParseUnitTable(tableText, error);
    if (!table) std::fprintf(stderr, "quorrel-sim: %s\n", error.c_str());
    return table;
}

struct Sockets {
    int units = -1;
    int control = -1;
};

// The units' port and the control port. The units' port reports the link and destination of
// each datagram, and may send from any address, so that a unit moved by set-configuration still
// answers from its own (where this namespace lets it: the lab's does).
std::optional<Sockets> OpenSockets(const Options& options) {
    const Sockets sockets{OpenUdpSocket(options.port), OpenUdpSocket(options.controlPort)};
    if (sockets.units < 0 || sockets.control < 0) {
        std::fprintf(stderr, "quorrel-sim: cannot bind UDP ports %d and %d: %s\n", options.port, options.controlPort,
                     std::strerror(errno));
        return std::nullopt;
    }
    const int one = 1;
    setsockopt(sockets.units, IPPROTO_IP, IP_PKTINFO, &one, sizeof one);
    setsockopt(sockets.units, IPPROTO_IP, IP_TRANSPARENT, &one, sizeof one);
    return sockets;
}

void StopOnSignals() {
    struct sigaction stop{};
    stop.sa_handler = [](int) { stopRequested = 1; };
    sigaction(SIGTERM, &stop, nullptr);
    sigaction(SIGINT, &stop, nullptr);
}

// Reads one datagram from the units' port with the link it came in on and the address it was
// sent to; nothing when the read fails.
std::optional<Arrival> ReceiveUnitDatagram(int fd, std::vector<char>& buffer,
                                           std::map<unsigned, std::string>& linkNames) {
    Arrival arrival;
    iovec part{buffer.data(), buffer.size()};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(in_pktinfo))];
    msghdr message{};
    message.msg_name = &arrival.source;
    message.msg_namelen = sizeof arrival.source;
    message.msg_iov = &part;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    const ssize_t length = recvmsg(fd, &message, 0);
    if (length < 0) return std::nullopt;
    unsigned link = 0;
    arrival.destination = 0;
    for (cmsghdr* header = CMSG_FIRSTHDR(&message); header != nullptr; header = CMSG_NXTHDR(&message, header)) {
        if (header->cmsg_level == IPPROTO_IP && header->cmsg_type == IP_PKTINFO) {
            in_pktinfo info{};
            std::memcpy(&info, CMSG_DATA(header), sizeof info);
            link = static_cast<unsigned>(info.ipi_ifindex);
            arrival.destination = ntohl(info.ipi_addr.s_addr);
        }
    }
    auto name = linkNames.find(link);
    if (name == linkNames.end()) name = linkNames.emplace(link, InterfaceName(link)).first;
    arrival.link = name->second;
    arrival.bytes = std::string_view(buffer.data(), static_cast<std::size_t>(length));
    return arrival;
}

void AnswerControl(int fd, Simulator& simulator, std::vector<char>& buffer) {
    sockaddr_in source{};
    socklen_t length = sizeof source;
    const ssize_t received = recvfrom(fd, buffer.data(), buffer.size(), 0, reinterpret_cast<sockaddr*>(&source), &length);
    if (received < 0) return;
    const std::string answer = simulator.OnControl(std::string_view(buffer.data(), static_cast<std::size_t>(received)));
    sendto(fd, answer.data(), answer.size(), 0, reinterpret_cast<sockaddr*>(&source), length);
}

// Answers requests and control commands, and sends each reply when it falls due, until a signal.
void Serve(Simulator& simulator, const Sockets& sockets) {
    std::vector<char> buffer(65536);
    std::map<unsigned, std::string> linkNames;
    while (!stopRequested) {
        pollfd fds[2] = {{sockets.units, POLLIN, 0}, {sockets.control, POLLIN, 0}};
        timespec timeout{};
        const std::optional<Clock::time_point> departure = simulator.NextDeparture();
        if (departure) {
            const auto wait = std::max(Clock::duration::zero(), *departure - Clock::now());
            const auto nanoseconds = std::chrono::duration_cast<std::chrono::nanoseconds>(wait).count();
            timeout = {static_cast<time_t>(nanoseconds / 1000000000), static_cast<long>(nanoseconds % 1000000000)};
        }
        const int ready = ppoll(fds, 2, departure ? &timeout : nullptr, nullptr);
        if (ready < 0 && errno != EINTR) break;
        if (ready > 0 && (fds[0].revents & POLLIN)) {
            if (const std::optional<Arrival> arrival = ReceiveUnitDatagram(sockets.units, buffer, linkNames)) {
                simulator.OnUnitDatagram(*arrival);
            }
        }
        if (ready > 0 && (fds[1].revents & POLLIN)) AnswerControl(sockets.control, simulator, buffer);
        simulator.SendDue(sockets.units);
    }
}

}  // namespace

int main(int argc, char** argv) {
    const std::optional<Options> options = ParseCommandLine(argc, argv);
    if (!options) return Usage();
    if (options->labTableUnits >= 0) {
        PrintLabTable(*options);
        return 0;
    }
    std::optional<sim::UnitTable> table = ReadStartingTable(*options);
    if (!table) return 1;
    Simulator simulator(std::move(*table), options->logPath);
    if (simulator.LogFailed(options->logPath)) {
        std::fprintf(stderr, "quorrel-sim: cannot open log %s\n", options->logPath.c_str());
        return 1;
    }
    const std::optional<Sockets> sockets = OpenSockets(*options);
    if (!sockets) return 1;
    StopOnSignals();
    // Wake-ups close to the microsecond for pacing, rather than the default 50 us late.
    prctl(PR_SET_TIMERSLACK, 1000UL);
    if (!options->readyFile.empty()) std::ofstream(options->readyFile) << getpid() << "\n";
    Serve(simulator, *sockets);
    close(sockets->units);
    close(sockets->control);
    return 0;
}
