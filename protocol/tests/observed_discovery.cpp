// One discovery as the library runs it, for a lab test to start with or without CAP_NET_ADMIN.
// Prints "net_admin=N buffer=B count=C dropped=D": whether the process may administer the
// network, the receive buffer the kernel granted the discovery's socket (as SO_RCVBUF reports it),
// the units counted and the datagrams the kernel dropped for want of room.
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
    std::printf("net_admin=%d buffer=%d count=%u dropped=%u\n", varl::testing::MayAdministerTheNetwork() ? 1 : 0,
                socket.GrantedBuffer(), count, exchange.tally.droppedByKernel);
    return 0;
}
