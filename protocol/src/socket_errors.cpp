#include "socket_errors.h"

#include <cerrno>

namespace varl {
namespace {

struct ErrnoMapping {
    int errnoValue;
    int code;
};

// Linux may give EAGAIN and EWOULDBLOCK (and EOPNOTSUPP and ENOTSUP) the same number, so this is
// a list searched in order rather than a switch.
constexpr ErrnoMapping kErrnoMappings[] = {
    {0, kWsaNoError},
    {EFAULT, kWsaEFault},
    {EINVAL, kWsaEInval},
    {EAGAIN, kWsaEWouldBlock},
    {EWOULDBLOCK, kWsaEWouldBlock},
    {EINPROGRESS, kWsaEInProgress},
    {EBADF, kWsaENotSock},
    {ENOTSOCK, kWsaENotSock},
    {EMSGSIZE, kWsaEMsgSize},
    {EOPNOTSUPP, kWsaEOpNotSupp},
    {ENETDOWN, kWsaENetDown},
    {ECONNABORTED, kWsaEConnAborted},
    {ECONNRESET, kWsaEConnReset},
    {ENOTCONN, kWsaENotConn},
    {ESHUTDOWN, kWsaEShutdown},
};

}  // namespace

int SocketErrorFromErrno(int errnoValue) {
    for (const ErrnoMapping& mapping : kErrnoMappings) {
        if (mapping.errnoValue == errnoValue) return mapping.code;
    }
    return kWsaUnmapped;
}

std::string_view SocketErrorName(int code) noexcept {
    switch (code) {
        case kWsaNoError: return "No Error";
        case kWsaEFault: return "WSAEFAULT";
        case kWsaEInval: return "WSAEINVAL";
        case kWsaEWouldBlock: return "WSAEWOULDBLOCK";
        case kWsaEInProgress: return "WSAEINPROGRESS";
        case kWsaENotSock: return "WSAENOTSOCK";
        case kWsaEMsgSize: return "WSAEMSGSIZE";
        case kWsaEOpNotSupp: return "WSAEOPNOTSUPP";
        case kWsaENetDown: return "WSAENETDOWN";
        case kWsaEConnAborted: return "WSAECONNABORTED";
        case kWsaEConnReset: return "WSAECONNRESET";
        case kWsaENotConn: return "WSAENOTCONN";
        case kWsaEShutdown: return "WSAESHUTDOWN";
        case kWsaNotInitialised: return "WSANOTINITIALISED";
        default: return "(unknown socket error)";
    }
}

}  // namespace varl
