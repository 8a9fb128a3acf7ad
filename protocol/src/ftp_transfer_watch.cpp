#include "ftp_transfer_watch.h"

#include <arpa/inet.h>
#include <linux/sockios.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstring>

#include "curl_options.h"
#include "dotted_quad.h"

namespace varl {
namespace {

using std::chrono::milliseconds;

constexpr uint16_t kControlPort = 21;
// Each command's reply may take this long.
constexpr auto kReplyLimit = milliseconds(2000);
// A transfer whose unit takes no byte for this long is given up; a transfer that moves is never
// cut, however long it takes.
constexpr auto kStallLimit = milliseconds(5000);
// Waiting at the end of the file for the unit to take what is queued: short at first, since on a
// LAN the queue empties within a millisecond, then longer for a slow unit.
constexpr auto kFirstQueueCheck = milliseconds(1);
constexpr auto kLongestQueueCheck = milliseconds(64);

std::string_view WithoutLineEnd(std::string_view line) {
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
    return line;
}

// The final line of a reply starts with three digits and a blank; -1 for any other line.
int FinalReplyCode(std::string_view line) {
    if (line.size() < 4 || line[3] != ' ') return -1;
    int code = 0;
    for (const char digit : line.substr(0, 3)) {
        if (digit < '0' || digit > '9') return -1;
        code = code * 10 + (digit - '0');
    }
    return code;
}

std::string EndpointText(const sockaddr_in& endpoint) {
    return std::string(AddressText(ntohl(endpoint.sin_addr.s_addr)).text) + ":" + std::to_string(ntohs(endpoint.sin_port));
}

const char* ModeName(DataMode mode) { return mode == DataMode::kActive ? "active" : "passive"; }

}  // namespace

void TransferWatch::DataSocket::Set(int descriptor) {
    struct stat status {};
    if (::fstat(descriptor, &status) != 0) return;
    descriptor_ = descriptor;
    device_ = status.st_dev;
    inode_ = status.st_ino;
}

int TransferWatch::DataSocket::Queued() const {
    struct stat status {};
    if (descriptor_ < 0 || ::fstat(descriptor_, &status) != 0 || status.st_dev != device_ || status.st_ino != inode_) {
        return -1;
    }
    int queued = 0;
    return ::ioctl(descriptor_, SIOCOUTQ, &queued) == 0 ? queued : -1;
}

std::string TransferWatch::DataSocket::Describe(bool peerConnected) const {
    sockaddr_in local{};
    sockaddr_in peer{};
    socklen_t localLength = sizeof local;
    socklen_t peerLength = sizeof peer;
    if (::getsockname(descriptor_, reinterpret_cast<sockaddr*>(&local), &localLength) != 0 ||
        ::getpeername(descriptor_, reinterpret_cast<sockaddr*>(&peer), &peerLength) != 0 ||
        local.sin_family != AF_INET || peer.sin_family != AF_INET) {
        return {};
    }
    return peerConnected ? EndpointText(peer) + " to " + EndpointText(local)
                         : EndpointText(local) + " to " + EndpointText(peer);
}

bool TransferWatch::Attach(CURL* handle) {
    void* const self = this;
    CurlOptions options(handle);
    options.Set(CURLOPT_OPENSOCKETFUNCTION, OpenSocket)
        .Set(CURLOPT_OPENSOCKETDATA, self)
        .Set(CURLOPT_SOCKOPTFUNCTION, SocketOptions)
        .Set(CURLOPT_SOCKOPTDATA, self)
        // The commands sent reach no callback but the debug one, which needs the verbose mode.
        .Set(CURLOPT_VERBOSE, 1L)
        .Set(CURLOPT_DEBUGFUNCTION, Debug)
        .Set(CURLOPT_DEBUGDATA, self)
        .Set(CURLOPT_HEADERFUNCTION, Reply)
        .Set(CURLOPT_HEADERDATA, self)
        .Set(CURLOPT_NOPROGRESS, 0L)
        .Set(CURLOPT_XFERINFOFUNCTION, Progress)
        .Set(CURLOPT_XFERINFODATA, self);
    return options.ok();
}

void TransferWatch::StartAttempt(DataMode mode) {
    mode_ = mode;
    dataMode_ = mode;
    started_ = Clock::now();
    phase_ = Phase::kLibcurl;
    stop_ = Stop::kNone;
    controlConnectAttempts_ = 0;
    loggedIn_ = false;
    portCommandSent_ = false;
    dataConnectionTraced_ = false;
    lastVerb_.clear();
    lastReplyCode_ = 0;
    data_.Forget();
    taken_ = 0;
}

bool TransferWatch::UnitTookEveryByte(curl_off_t handed) {
    if (!data_.known()) return true;
    phase_ = Phase::kLibcurl;
    auto pause = kFirstQueueCheck;
    for (;;) {
        const auto now = Clock::now();
        const int queued = data_.Queued();
        // A socket gone from under the descriptor is libcurl's to report.
        if (queued <= 0) {
            if (queued == 0) NoteTaken(handed, now);
            return true;
        }
        NoteTaken(handed - queued, now);
        if (now - quietSince_ >= kStallLimit) {
            stop_ = Stop::kNoProgress;
            return false;
        }
        pollfd events{data_.descriptor(), 0, 0};
        if (::poll(&events, 1, static_cast<int>(pause.count())) > 0 &&
            (events.revents & (POLLERR | POLLHUP | POLLNVAL)) != 0) {
            stop_ = Stop::kDataConnectionBroke;
            return false;
        }
        pause = std::min(pause * 2, kLongestQueueCheck);
    }
}

bool TransferWatch::ActiveModeBlocked(CURLcode result) const {
    if (mode_ != DataMode::kActive || !portCommandSent_ || data_.known()) return false;
    switch (result) {
        case CURLE_FTP_PORT_FAILED:     // EPRT and PORT refused, as "425 Can't connect"
        case CURLE_FTP_ACCEPT_FAILED:   // a refusal while libcurl waited for the connection
        case CURLE_FTP_ACCEPT_TIMEOUT:  // no connection in time
            return true;
        case CURLE_UPLOAD_FAILED:
            return lastReplyCode_ == 425;  // STOR refused: "Can't open data connection"
        case CURLE_ABORTED_BY_CALLBACK:
            // A server that connects before it answers keeps its reply back while it tries.
            return stop_ == Stop::kNoReply && (lastVerb_ == "EPRT" || lastVerb_ == "PORT" || lastVerb_ == "STOR");
        default:
            return false;
    }
}

void TransferWatch::TraceStoreEnd(CURLcode result) const {
    if (!trace_.on()) return;
    const long long elapsed = std::chrono::duration_cast<milliseconds>(Clock::now() - started_).count();
    const long long taken = taken_;
    const char* const mode = ModeName(data_.known() ? dataMode_ : mode_);
    if (result == CURLE_OK) {
        trace_.Line("ftp stored the file in %s mode: the unit took %lld bytes in %lld ms", mode, taken, elapsed);
        return;
    }
    switch (stop_) {
        case Stop::kNoReply:
            trace_.Line("ftp store in %s mode failed: no reply to %s within %lld ms", mode, lastVerb_.c_str(),
                        static_cast<long long>(kReplyLimit.count()));
            break;
        case Stop::kNoProgress:
            trace_.Line("ftp store in %s mode failed after %lld ms: the unit took no byte for %lld ms, %lld bytes in all",
                        mode, elapsed, static_cast<long long>(kStallLimit.count()), taken);
            break;
        case Stop::kDataConnectionBroke:
            trace_.Line("ftp store in %s mode failed after %lld ms: the data connection broke, %lld bytes taken", mode,
                        elapsed, taken);
            break;
        case Stop::kNone:
            trace_.Line("ftp store in %s mode failed after %lld ms, %lld bytes taken by the unit: %s", mode, elapsed,
                        taken, curl_easy_strerror(result));
            break;
    }
}

curl_socket_t TransferWatch::OpenSocket(void* watch, curlsocktype, curl_sockaddr* address) {
    auto& self = *static_cast<TransferWatch*>(watch);
    const int descriptor = ::socket(address->family, address->socktype | SOCK_CLOEXEC, address->protocol);
    if (descriptor < 0) return CURL_SOCKET_BAD;
    if (address->family != AF_INET) return descriptor;
    sockaddr_in endpoint{};
    std::memcpy(&endpoint, &address->addr, std::min<std::size_t>(sizeof endpoint, address->addrlen));
    // The other socket libcurl opens, active mode's listening one, lies on the PC's own address.
    if (ntohl(endpoint.sin_addr.s_addr) != self.unitAddress_) return descriptor;
    if (ntohs(endpoint.sin_port) == kControlPort) {
        ++self.controlConnectAttempts_;
        self.trace_.Line("ftp connecting to %s", EndpointText(endpoint).c_str());
    } else {
        self.data_.Set(descriptor);
        self.dataMode_ = DataMode::kPassive;
    }
    return descriptor;
}

int TransferWatch::SocketOptions(void* watch, curl_socket_t socket, curlsocktype purpose) {
    auto& self = *static_cast<TransferWatch*>(watch);
    if (purpose == CURLSOCKTYPE_ACCEPT) {
        self.data_.Set(socket);
        self.dataMode_ = DataMode::kActive;
        self.quietSince_ = Clock::now();
        self.TraceDataConnection();
    }
    return CURL_SOCKOPT_OK;
}

int TransferWatch::Debug(CURL*, curl_infotype type, char* data, std::size_t size, void* watch) {
    if (type == CURLINFO_HEADER_OUT) static_cast<TransferWatch*>(watch)->NoteCommand(std::string_view(data, size));
    return 0;
}

std::size_t TransferWatch::Reply(char* line, std::size_t size, std::size_t count, void* watch) {
    static_cast<TransferWatch*>(watch)->NoteReply(std::string_view(line, size * count));
    return size * count;
}

int TransferWatch::Progress(void* watch, curl_off_t, curl_off_t, curl_off_t, curl_off_t uploaded) {
    auto& self = *static_cast<TransferWatch*>(watch);
    const auto now = Clock::now();
    switch (self.phase_) {
        case Phase::kAwaitingReply:
            if (now - self.quietSince_ >= kReplyLimit) return self.Abort(Stop::kNoReply);
            break;
        case Phase::kTransfer:
            // In active mode the unit has yet to connect; libcurl's accept time-out holds till then.
            if (!self.data_.known()) break;
            if (const int queued = self.data_.Queued(); queued >= 0) self.NoteTaken(uploaded - queued, now);
            if (now - self.quietSince_ >= kStallLimit) return self.Abort(Stop::kNoProgress);
            break;
        case Phase::kLibcurl:
            break;
    }
    return 0;
}

void TransferWatch::NoteCommand(std::string_view line) {
    line = WithoutLineEnd(line);
    const std::string_view verb = line.substr(0, line.find(' '));
    const std::string_view shown = verb == "PASS" ? std::string_view("PASS ***") : line;
    trace_.Quoted("ftp sent", shown.data(), shown.size());
    lastVerb_.assign(verb);
    if (verb == "EPRT" || verb == "PORT") portCommandSent_ = true;
    phase_ = Phase::kAwaitingReply;
    quietSince_ = Clock::now();
}

void TransferWatch::NoteReply(std::string_view line) {
    line = WithoutLineEnd(line);
    trace_.Quoted("ftp received", line.data(), line.size());
    const int code = FinalReplyCode(line);
    if (code < 0) return;
    lastReplyCode_ = code;
    // 230 answers a successful login, and 257 the PWD that libcurl sends right after one.
    if (code == 230 || code == 257) loggedIn_ = true;
    if (code / 100 != 1) {
        phase_ = Phase::kLibcurl;
    } else if (lastVerb_ == "STOR") {
        fileCreated_ = true;
        phase_ = Phase::kTransfer;
        quietSince_ = Clock::now();
        TraceDataConnection();
    }
}

void TransferWatch::NoteTaken(curl_off_t taken, Clock::time_point now) {
    if (taken > taken_) {
        taken_ = taken;
        quietSince_ = now;
    }
}

void TransferWatch::TraceDataConnection() {
    if (!trace_.on() || dataConnectionTraced_ || phase_ != Phase::kTransfer || !data_.known()) return;
    dataConnectionTraced_ = true;
    trace_.Line("ftp data connection in %s mode: %s", ModeName(dataMode_),
                data_.Describe(dataMode_ == DataMode::kActive).c_str());
}

int TransferWatch::Abort(Stop stop) {
    stop_ = stop;
    phase_ = Phase::kLibcurl;
    return 1;
}

}  // namespace varl
