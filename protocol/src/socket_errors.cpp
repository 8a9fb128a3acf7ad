#include "socket_errors.h"

#include <cerrno>
#include <cstdio>
#include <string>

#include "last_error.h"

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

thread_local int lastSocketError = kWsaNoError;

}  // namespace

int SocketErrorFromErrno(int errnoValue) {
    for (const ErrnoMapping& mapping : kErrnoMappings) {
        if (mapping.errnoValue == errnoValue) return mapping.code;
    }
    return kWsaUnmapped;
}

std::string_view SocketErrorName(int code) {
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

int LastSocketError() { return lastSocketError; }

void SetLastSocketError(int code) { lastSocketError = code; }

void SetLastSocketErrorFromErrno() { lastSocketError = SocketErrorFromErrno(errno); }

void SetSocketErrorText(std::string_view message) {
    const std::string messageText(message);
    const std::string name(SocketErrorName(LastSocketError()));
    // The longest composition is 76 characters; the buffer leaves room for any message.
    char text[256];
    std::snprintf(text, sizeof text, "%s (%s)", messageText.c_str(), name.c_str());
    SetLastErrorText(text);
}

}  // namespace varl
