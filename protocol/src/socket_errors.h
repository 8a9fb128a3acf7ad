// Socket errors under their Windows Sockets numbers and names, which the library's failure texts
// carry ("... (WSAEMSGSIZE)").
#pragma once

#include <string_view>

namespace varl {

// Windows Sockets error numbers that the library reports.
inline constexpr int kWsaNoError = 0;
inline constexpr int kWsaEFault = 10014;
inline constexpr int kWsaEInval = 10022;
inline constexpr int kWsaEWouldBlock = 10035;
inline constexpr int kWsaEInProgress = 10036;
inline constexpr int kWsaENotSock = 10038;
inline constexpr int kWsaEMsgSize = 10040;
inline constexpr int kWsaEOpNotSupp = 10045;
inline constexpr int kWsaENetDown = 10050;
inline constexpr int kWsaEConnAborted = 10053;
inline constexpr int kWsaEConnReset = 10054;
inline constexpr int kWsaENotConn = 10057;
inline constexpr int kWsaEShutdown = 10058;
inline constexpr int kWsaNotInitialised = 10093;
// Stands for every errno without a Windows Sockets counterpart; its name is the unknown one.
inline constexpr int kWsaUnmapped = -1;

// The Windows Sockets number for a POSIX errno value (0 for 0, kWsaUnmapped for the rest).
int SocketErrorFromErrno(int errnoValue);

// "WSAEMSGSIZE" and the like; "(unknown socket error)" for a number the table does not list.
std::string_view SocketErrorName(int code) noexcept;

}  // namespace varl
