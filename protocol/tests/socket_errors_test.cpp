#include "socket_errors.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>

namespace varl {
namespace {

struct ErrnoRow {
    const char* name;
    int errnoValue;
    std::string socketErrorName;
};

class SocketErrorFromErrnoTest : public ::testing::TestWithParam<ErrnoRow> {};

TEST_P(SocketErrorFromErrnoTest, NamesTheError) {
    EXPECT_EQ(SocketErrorName(SocketErrorFromErrno(GetParam().errnoValue)), GetParam().socketErrorName);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, SocketErrorFromErrnoTest,
    ::testing::Values(ErrnoRow{"none", 0, "No Error"},
                      ErrnoRow{"fault", EFAULT, "WSAEFAULT"},
                      ErrnoRow{"invalid", EINVAL, "WSAEINVAL"},
                      ErrnoRow{"again", EAGAIN, "WSAEWOULDBLOCK"},
                      ErrnoRow{"would_block", EWOULDBLOCK, "WSAEWOULDBLOCK"},
                      ErrnoRow{"in_progress", EINPROGRESS, "WSAEINPROGRESS"},
                      ErrnoRow{"bad_descriptor", EBADF, "WSAENOTSOCK"},
                      ErrnoRow{"not_a_socket", ENOTSOCK, "WSAENOTSOCK"},
                      ErrnoRow{"message_size", EMSGSIZE, "WSAEMSGSIZE"},
                      ErrnoRow{"not_supported", EOPNOTSUPP, "WSAEOPNOTSUPP"},
                      ErrnoRow{"network_down", ENETDOWN, "WSAENETDOWN"},
                      ErrnoRow{"connection_aborted", ECONNABORTED, "WSAECONNABORTED"},
                      ErrnoRow{"connection_reset", ECONNRESET, "WSAECONNRESET"},
                      ErrnoRow{"not_connected", ENOTCONN, "WSAENOTCONN"},
                      ErrnoRow{"shut_down", ESHUTDOWN, "WSAESHUTDOWN"},
                      ErrnoRow{"unlisted", EACCES, "(unknown socket error)"},
                      ErrnoRow{"no_buffers", ENOBUFS, "(unknown socket error)"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SocketErrorName, KnowsTheNumbersWithoutAnErrno) {
    EXPECT_EQ(SocketErrorName(10093), "WSANOTINITIALISED");
    EXPECT_EQ(SocketErrorName(10040), "WSAEMSGSIZE");
    EXPECT_EQ(SocketErrorName(10035), "WSAEWOULDBLOCK");
    EXPECT_EQ(SocketErrorName(10039), "(unknown socket error)");
}

}  // namespace
}  // namespace varl
