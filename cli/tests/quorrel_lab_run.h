// The built quorrel run as its users run it, a child process inside the lab: what a script sees
// (exit status, standard output and error) and the datagrams that reached the units meanwhile.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

namespace quorrel::cli::testing {

inline constexpr const char* kDiscoveryRequest = "0 1";

// What discover --format csv lists in a lab of six units.
inline constexpr const char* kSixUnitsCsv =
    "serial,dhcp,address,mask,gateway,chip\r\n"
    "1A2B3,0,10.77.0.10,255.255.0.0,10.77.0.1,QX-100\r\n"
    "1B3C4,0,10.77.0.11,255.255.0.0,10.77.0.1,QX-200\r\n"
    "1C4D5,1,10.77.0.12,255.255.0.0,10.77.0.1,QX-100\r\n"
    "1D5E6,0,10.77.0.13,255.255.0.0,10.77.0.1,QX-200\r\n"
    "1E6F7,0,10.77.0.14,255.255.0.0,10.77.0.1,QX-100\r\n"
    "1F808,1,10.77.0.15,255.255.0.0,10.77.0.1,QX-200\r\n";

struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
    // Every datagram the lab's units received while the program ran, and in a lab with a routed
    // site those its units received.
    std::vector<std::string> wire;
    std::vector<std::string> siteWire;
};

// Runs the program with the arguments, behind wrapper when one is given (such as
// {"setpriv", "--bounding-set=-net_raw", "--"}); standard input holds input.
Outcome RunQuorrel(std::vector<std::string> arguments, const std::string& input = "",
                   std::vector<std::string> wrapper = {});

// The built program, and its argument vector for exec: the program, then arguments, which the
// vector points into (so they must outlive it).
const char* ProgramPath();
std::vector<char*> Argv(std::vector<std::string>& arguments);

// The exit status once the child has ended (128 + the signal that ended it), or -1 when it has not
// ended within wait.
int WaitForExit(pid_t child, std::chrono::milliseconds wait);

std::string LabFile(const std::string& name);
// Writes a file in the lab's folder; returns its path.
std::string WriteLabFile(const std::string& name, const std::string& content);

// The datagrams that are not discovery requests, sorted.
std::vector<std::string> SetConfigMessages(const std::vector<std::string>& wire);
long DiscoveryRequests(const std::vector<std::string>& wire);

}  // namespace quorrel::cli::testing
