// One discovery as the library runs it, for a lab test to start with or without CAP_NET_ADMIN.
// Prints "net_admin=N forced=F buffer=B requests=R count=C dropped=D": whether the process may
// administer the network, whether the library forced its receive buffer past net.core.rmem_max,
// the buffer the kernel granted (as SO_RCVBUF reports it), the requests sent, the units counted
// and the datagrams the kernel dropped for want of room.
//   observed_discovery TIMEOUT_MS [CAP_BYTES]
// With CAP_BYTES the socket's buffer is then cut to what a kernel whose net.core.rmem_max is
// CAP_BYTES grants a process without CAP_NET_ADMIN, whatever this host's setting.

#include <cstdio>
#include <cstdlib>
#include <string>

#include "capped_socket.h"
#include "datagram_socket.h"
#include "network_interfaces.h"
#include "poll_clock.h"
#include "udp_exchanges.h"

int main(int argc, char** argv) {
    if (argc != 2 && argc != 3) return 2;
    varl::testing::CappedSocket socket(argc == 3 ? std::atoi(argv[2]) : 0);
    varl::SteadyPollClock clock;
    varl::SystemInterfaceList interfaces;
    varl::Exchange exchange{socket, clock, interfaces, varl::CallSettings::FromEnvironment(), {}};
    uint32_t count = 0;
    if (!varl::DiscoverUnits(exchange, &count, nullptr, static_cast<uint32_t>(std::atoi(argv[1]))).ok()) return 1;
    const varl::DatagramSocket::ReceiveBuffer granted = socket.ReceiveBufferGranted();
    std::printf("net_admin=%d forced=%d buffer=%d requests=%u count=%u dropped=%u\n",
                varl::testing::MayAdministerTheNetwork() ? 1 : 0, granted.forced ? 1 : 0, granted.bytes,
                exchange.tally.requests, count, exchange.tally.droppedByKernel);
    return 0;
}
