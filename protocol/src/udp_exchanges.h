// The three UDP exchanges with the units: discovery, get-config and set-config. Each creates its
// own socket, broadcasts to port 8001 and closes the socket before it returns, on every path. A
// failure comes back as a Status; the exports turn it into the last-error text.
#pragma once

#include <cstddef>
#include <cstdint>

#include "datagram_socket.h"
#include "poll_clock.h"
#include "status.h"
#include "varl.h"

namespace varl {

// Every message goes to this port at 255.255.255.255.
inline constexpr uint16_t kUnitPort = 8001;
// Each receive attempt that finds nothing counts this many milliseconds, and the same time is
// waited before the next attempt. Waiting is counted, not measured.
inline constexpr uint32_t kPollStepMs = 20;
// One discovery poll: three attempts, two waits, 60 ms counted when nothing arrives.
inline constexpr uint32_t kDiscoveryPollBudgetMs = 50;

// Receives one datagram, trying again after each wait while nothing is queued, until the counted
// time reaches budgetMs (at least one attempt). budgetMs is the allowance on entry and the counted
// time on return: 20 per attempt that found nothing. Gives the datagram's length, or WSAEWOULDBLOCK
// when nothing arrived, or the error of the failed receive.
SocketResult ReceivePolled(DatagramSocket& socket, PollClock& clock, char* buffer, std::size_t size,
                           uint32_t& budgetMs);

// Broadcasts the discovery request and collects replies until the counted time reaches timeoutMs.
// *count is the capacity of records on entry and the number of distinct serials seen on return,
// which may exceed the capacity; the first units to answer are copied in order of answer, and
// records may be null. Should replies arrive without pause, a guard on the monotonic clock ends
// the collection (successfully) once twice the time-out plus one second has passed.
Status DiscoverUnits(DatagramSocket& socket, PollClock& clock, uint32_t* count, DeviceRecord* records,
                     uint32_t timeoutMs);

// Broadcasts the discovery request and reads the first unit's reply that arrives within timeoutMs
// into *record. Succeeds with the record untouched when none arrives.
Status GetFirstConfig(DatagramSocket& socket, PollClock& clock, DeviceRecord* record,
                      uint32_t timeoutMs);

// Broadcasts the set-configuration message for *record once; awaits no answer.
Status SendSetConfig(DatagramSocket& socket, const DeviceRecord* record);

// The same over a real socket and the steady clock: what the exports call.
Status DiscoverUnits(uint32_t* count, DeviceRecord* records, uint32_t timeoutMs);
Status GetFirstConfig(DeviceRecord* record, uint32_t timeoutMs);
Status SendSetConfig(const DeviceRecord* record);

}  // namespace varl
