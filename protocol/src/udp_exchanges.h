// The three UDP exchanges with the units: discovery, get-config and set-config. Each creates its
// own socket, broadcasts to port 8001 out of every interface that can carry it and closes the
// socket before it returns, on every path. A failure comes back as a Status; the exports turn it
// into the last-error text.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "datagram_socket.h"
#include "network_interfaces.h"
#include "poll_clock.h"
#include "status.h"
#include "target_list.h"
#include "trace.h"
#include "varl.h"

namespace varl {

// Every message goes to this port at 255.255.255.255.
inline constexpr uint16_t kUnitPort = 8001;
// Each receive attempt that finds nothing counts this many milliseconds, and the next attempt of
// the same poll is due this long after it. Waiting is counted, not measured.
inline constexpr uint32_t kPollStepMs = 20;
// The unicasts to VARL_TARGETS leave in groups of this many, a group no sooner than the interval
// after the one before: at most 4,000 datagrams a second, so a /24 takes 64 ms and a /16 16 s.
// Unpaced, a /16 left the lab's PC in about 140 ms, some 470,000 datagrams a second (300 Mbit/s of
// minimum-size frames), and each one that reaches a site's router for an address no device holds
// makes it broadcast an ARP request to every device on the site. At this pace that is 2.7 Mbit/s
// and at most 4,000 ARP requests a second; the lab's routed site of 100 units was found whole
// unpaced, at 64,000 and at 4,000 a second.
inline constexpr uint32_t kTargetsPerGroup = 8;
inline constexpr std::chrono::microseconds kTargetGroupInterval{2000};
// One discovery poll: three attempts, two waits, 60 ms counted when nothing arrives.
inline constexpr uint32_t kDiscoveryPollBudgetMs = 50;
// A discovery sends its request at most this many times: once, and again only when the kernel
// dropped replies for want of room since the last request. Measured in the lab, 10,000 units
// answering at once to a process without CAP_NET_ADMIN and with the receive buffer of a stock
// kernel (212992 bytes, about 500 replies), on the 2-core development machine busy with other
// builds (load average 5 to 6, no processor pinning): a burst lost up to a third of its replies,
// and 30 discoveries in a row counted every unit after at most 5 requests. Ten leave room for a
// busier machine; once every unit is counted no further request goes out.
inline constexpr uint32_t kMostDiscoveryRequests = 10;

// What the environment asks of one call, read once at its start.
struct CallSettings {
    // VARL_INTERFACES: the interfaces to send on, names separated by commas or blanks; empty for
    // every interface. Points into the environment.
    std::string_view interfaces;
    // VARL_TARGETS: addresses and ranges that discovery and set-configuration also send to by
    // unicast (ParseTargetList); empty for none. Points into the environment.
    std::string_view targets;
    // VARL_TRACE.
    Trace trace;

    static CallSettings FromEnvironment();
};

// What an exchange did, for the trace's last line and for measurements.
struct ExchangeTally {
    uint32_t requests = 0;   // discovery requests sent, each out of every interface
    uint32_t attempts = 0;   // receive attempts on the schedule
    uint32_t waits = 0;      // 20 ms waits the schedule put between two attempts
    uint32_t datagrams = 0;  // datagrams received, by attempts or during waits
    uint32_t droppedByKernel = 0;
};

// Everything one exchange runs on besides its arguments: the socket, the clock and the interfaces
// (the system's, or scripted stand-ins in tests), and the call's settings. The exchange fills in
// the tally.
struct Exchange {
    DatagramSocket& socket;
    PollClock& clock;
    InterfaceList& interfaces;
    CallSettings settings;
    ExchangeTally tally;
};

// Sends one datagram by unicast to each address of VARL_TARGETS, to the units' port, paced: a
// group of kTargetsPerGroup at a time, the next group kTargetGroupInterval after it. The exchange
// sends the groups as they fall due between its receive attempts.
class TargetSends {
public:
    TargetSends(Exchange& exchange, const std::vector<TargetRange>& ranges) : exchange_(exchange), cursor_(ranges) {}

    // Starts over from the first address with bytes (which must outlive the sends), the first
    // group due at once.
    void Start(const char* bytes, std::size_t length);
    // Whether addresses are left to send to.
    bool Busy() const { return bytes_ != nullptr && !cursor_.AtEnd(); }
    std::chrono::steady_clock::time_point NextDue() const { return nextDue_; }
    // Sends the next group if it is due. A send that fails is in the trace and not repeated.
    void SendDue();

private:
    Exchange& exchange_;
    TargetCursor cursor_;
    const char* bytes_ = nullptr;
    std::size_t length_ = 0;
    std::chrono::steady_clock::time_point nextDue_{};
};

// Receives on the exchange's schedule. Within a poll, receive attempts follow one another 20 ms
// apart while they find nothing, each that finds nothing counting 20, until the count reaches the
// poll's budget (at least one attempt; no wait follows the last). Between two attempts it does
// not sleep blindly but waits on the socket: a datagram that arrives is taken at once and ends the
// poll as the next attempt would have, counting the attempts before it that found nothing. The
// next attempt is still made when it was due, not earlier: a poll that starts before then takes
// every datagram that arrives meanwhile at once, counting nothing. With no datagram this is the
// schedule of sleeping 20 ms between attempts, to the attempt.
class PollingReceiver {
public:
    // targets, when given, has its groups sent as they fall due while the receiver waits.
    explicit PollingReceiver(Exchange& exchange, TargetSends* targets = nullptr)
        : exchange_(exchange), targets_(targets) {}
    // Notes the kernel's drops in the tally and traces a summary of the receiving.
    ~PollingReceiver();
    PollingReceiver(const PollingReceiver&) = delete;
    PollingReceiver& operator=(const PollingReceiver&) = delete;

    // One poll into buffer. budgetMs is the allowance on entry and the counted time on return.
    // Gives the datagram's length, or WSAEWOULDBLOCK when nothing arrived, or the error of the
    // failed receive.
    SocketResult Poll(char* buffer, std::size_t size, uint32_t& budgetMs);

private:
    // Takes the first datagram that arrives before deadline; WSAEWOULDBLOCK once it has passed.
    SocketResult TakeArrivalBefore(std::chrono::steady_clock::time_point deadline, char* buffer, std::size_t size);
    SocketResult Receive(char* buffer, std::size_t size);

    Exchange& exchange_;
    TargetSends* targets_;
    std::chrono::steady_clock::time_point nextAttempt_ = std::chrono::steady_clock::time_point::min();
};

// Broadcasts the discovery request, sends it to each address of VARL_TARGETS, and collects
// replies until the counted time reaches timeoutMs, counted from the moment the request has gone
// to every target. A malformed VARL_TARGETS fails the call before anything is sent. *count is the
// capacity of records on entry and the number of distinct serials seen on return,
// which may exceed the capacity; the first units to answer are copied in order of answer, and
// records may be null. When a poll finds nothing (the burst of replies is over) and the kernel
// dropped datagrams since the last request, the request is sent again while counted time
// remains and fewer units are counted than answered the last request, up to
// kMostDiscoveryRequests in all: the units answer again, the serials already seen are dropped and
// the lost ones fill in. Should replies arrive without pause, a guard on the
// monotonic clock ends the collection (successfully) once twice the time-out plus one second has
// passed.
Status DiscoverUnits(Exchange& exchange, uint32_t* count, DeviceRecord* records, uint32_t timeoutMs);

// Broadcasts the discovery request and reads the first unit's reply that arrives within timeoutMs
// into *record. Succeeds with the record untouched when none arrives.
Status GetFirstConfig(Exchange& exchange, DeviceRecord* record, uint32_t timeoutMs);

// Broadcasts the set-configuration message for *record once out of each interface, then sends it
// to each address of VARL_TARGETS; awaits no answer. A malformed VARL_TARGETS fails the call
// before anything is sent.
Status SendSetConfig(Exchange& exchange, const DeviceRecord* record);

// The same over a real socket, the steady clock, the system's interfaces and the environment's
// settings: what the exports call.
Status DiscoverUnits(uint32_t* count, DeviceRecord* records, uint32_t timeoutMs);
Status GetFirstConfig(DeviceRecord* record, uint32_t timeoutMs);
Status SendSetConfig(const DeviceRecord* record);

}  // namespace varl
