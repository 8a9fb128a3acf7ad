// quorrel doctor --unit SERIAL: the unit's FTP login and its data connections, the way an upload
// makes them. In active mode the unit's server connects back to the PC, which a host firewall
// keeps out; the library then stores the file once more in passive mode, in which the PC connects.
// The data connections carry a name listing of the login folder, so nothing is written.
#pragma once

#include <cstdint>
#include <string>

#include "doctor_report.h"
#include "varl.h"

namespace quorrel::cli {

enum class FtpStep {
    Works,
    // Login: no server answered. Data connection: it never came (a firewall dropped or refused it).
    Blocked,
    // Login: refused. Data connection: the server answered with a failure of its own.
    Refused,
    NotTried,
};

struct FtpProbe {
    FtpStep login = FtpStep::NotTried;
    FtpStep active = FtpStep::NotTried;
    FtpStep passive = FtpStep::NotTried;
    // The server's last reply, or libcurl's words, where a step did not work.
    std::string detail;
};

FtpProbe ProbeUnitFtp(std::uint32_t address);

// unit: the unit with the serial asked for, null when it did not answer the discovery.
CheckResult CheckUnit(std::uint32_t serial, const DeviceRecord* unit, const FtpProbe& probe);

}  // namespace quorrel::cli
