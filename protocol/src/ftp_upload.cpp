#include "ftp_upload.h"

#include <curl/curl.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "dotted_quad.h"
#include "failure_texts.h"

namespace varl {
namespace {

using Clock = std::chrono::steady_clock;

// The units' fixed login: the same three letters as user name and password.
constexpr const char* kLogin = "lqm";
// In libcurl the connect time-out covers the login as well as the TCP connect.
constexpr long kConnectTimeoutMs = 2000;
constexpr int kConnectRetries = 2;
constexpr long kReplyTimeoutSeconds = 2;
// How long the unit may take to connect back for the active-mode data connection.
constexpr long kAcceptTimeoutMs = 5000;
// A transfer that moves no byte for this long is given up.
constexpr Clock::duration kStallLimit = std::chrono::milliseconds(5000);
constexpr std::size_t kReadAheadBytes = 64 * 1024;

struct EasyHandleCleanup {
    void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
using EasyHandle = std::unique_ptr<CURL, EasyHandleCleanup>;

struct CurlFree {
    void operator()(char* text) const { curl_free(text); }
};

struct SlistFree {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

// What the callbacks of one upload observe while libcurl works.
struct TransferWatch {
    curl_off_t uploaded = 0;
    Clock::time_point lastProgress = Clock::now();
    bool loggedIn = false;
    int connectAttempts = 0;
};

std::string TrimWhiteSpace(std::string_view text) {
    constexpr std::string_view kWhiteSpace = " \t\n\v\f\r";
    const auto first = text.find_first_not_of(kWhiteSpace);
    if (first == std::string_view::npos) return {};
    const auto last = text.find_last_not_of(kWhiteSpace);
    return std::string(text.substr(first, last - first + 1));
}

// At most eight characters before the first dot. A name without a dot is measured whole, as if a
// dot followed it.
bool IsEightDotThree(std::string_view name) {
    return std::min(name.find('.'), name.size()) <= 8;
}

// CR or LF inside a name would end the STOR command line early and let the rest reach the unit
// as a command of its own.
bool HoldsControlCharacter(std::string_view name) {
    return std::any_of(name.begin(), name.end(), [](unsigned char c) { return c < 0x20 || c == 0x7F; });
}

// libcurl passes every control-connection reply line to the header callback. 230 answers a
// successful login, and 257 the PWD that libcurl sends right after one.
std::size_t NoteReply(char* line, std::size_t size, std::size_t count, void* watch) {
    const std::size_t length = size * count;
    if (length >= 4 && line[3] == ' ') {
        const std::string_view code(line, 3);
        if (code == "230" || code == "257") static_cast<TransferWatch*>(watch)->loggedIn = true;
    }
    return length;
}

// libcurl calls this for every socket it creates to connect, before the connect: it counts the
// attempts, failed ones included, which its own count of connects leaves out.
int NoteConnectAttempt(void* watch, curl_socket_t, curlsocktype purpose) {
    if (purpose == CURLSOCKTYPE_IPCXN) ++static_cast<TransferWatch*>(watch)->connectAttempts;
    return CURL_SOCKOPT_OK;
}

// libcurl's own low-speed limit averages over its window and fires late; this gives up as soon
// as the byte count has stood still for the whole stall limit, counted from the start of the store
// step until the first byte moves.
int AbortWhenStalled(void* watch, curl_off_t, curl_off_t, curl_off_t, curl_off_t uploaded) {
    auto& state = *static_cast<TransferWatch*>(watch);
    const auto now = Clock::now();
    if (uploaded != state.uploaded) {
        state.uploaded = uploaded;
        state.lastProgress = now;
        return 0;
    }
    return now - state.lastProgress >= kStallLimit ? 1 : 0;
}

// Options for both steps; false when libcurl refuses one.
bool SetSessionOptions(CURL* handle, const std::string& loginUrl, TransferWatch* watch) {
    CURLcode result = CURLE_OK;
    auto set = [&](CURLoption option, auto value) {
        if (result == CURLE_OK) result = curl_easy_setopt(handle, option, value);
    };
    set(CURLOPT_URL, loginUrl.c_str());
    set(CURLOPT_PROXY, "");  // never a proxy from the environment
    set(CURLOPT_NOSIGNAL, 1L);
    set(CURLOPT_USERNAME, kLogin);
    set(CURLOPT_PASSWORD, kLogin);
    set(CURLOPT_FTPPORT, "-");  // active mode, the data port on the control connection's address
    set(CURLOPT_FTP_FILEMETHOD, static_cast<long>(CURLFTPMETHOD_NOCWD));
    set(CURLOPT_PATH_AS_IS, 1L);
    set(CURLOPT_CONNECTTIMEOUT_MS, kConnectTimeoutMs);
    set(CURLOPT_SERVER_RESPONSE_TIMEOUT, kReplyTimeoutSeconds);
    set(CURLOPT_ACCEPTTIMEOUT_MS, kAcceptTimeoutMs);
    set(CURLOPT_HEADERFUNCTION, NoteReply);
    set(CURLOPT_HEADERDATA, static_cast<void*>(watch));
    set(CURLOPT_SOCKOPTFUNCTION, NoteConnectAttempt);
    set(CURLOPT_SOCKOPTDATA, static_cast<void*>(watch));
    // The login step: with no file in the URL this sends only USER, PASS and PWD.
    set(CURLOPT_NOBODY, 1L);
    return result == CURLE_OK;
}

bool SetStoreOptions(CURL* handle, const std::string& fileUrl, curl_slist* typeCommand, UploadSource* source,
                     TransferWatch* watch) {
    CURLcode result = CURLE_OK;
    auto set = [&](CURLoption option, auto value) {
        if (result == CURLE_OK) result = curl_easy_setopt(handle, option, value);
    };
    set(CURLOPT_URL, fileUrl.c_str());
    set(CURLOPT_NOBODY, 0L);
    set(CURLOPT_UPLOAD, 1L);
    // libcurl's TYPE A mode turns every LF into CRLF on the way out, and a unit stores what it
    // receives. So libcurl sends as binary and the "TYPE A" goes out as a command of its own,
    // right before STOR.
    set(CURLOPT_TRANSFERTEXT, 0L);
    set(CURLOPT_PREQUOTE, typeCommand);
    set(CURLOPT_READFUNCTION, UploadSource::CurlRead);
    set(CURLOPT_READDATA, static_cast<void*>(source));
    set(CURLOPT_NOPROGRESS, 0L);
    set(CURLOPT_XFERINFOFUNCTION, AbortWhenStalled);
    set(CURLOPT_XFERINFODATA, static_cast<void*>(watch));
    return result == CURLE_OK;
}

// A connect that failed or timed out before the TCP connection stood; a refused login is not one.
bool ConnectFailed(CURL* handle, CURLcode result) {
    if (result == CURLE_COULDNT_CONNECT) return true;
    if (result != CURLE_OPERATION_TIMEDOUT) return false;
    curl_off_t connectedAfter = 0;
    curl_easy_getinfo(handle, CURLINFO_CONNECT_TIME_T, &connectedAfter);
    return connectedAfter == 0;
}

bool LogIn(CURL* handle) {
    for (int attempt = 0; attempt <= kConnectRetries; ++attempt) {
        const CURLcode result = curl_easy_perform(handle);
        if (result == CURLE_OK) return true;
        if (!ConnectFailed(handle, result)) return false;
    }
    return false;
}

}  // namespace

UploadSource::~UploadSource() {
    if (fd_ >= 0) ::close(fd_);
}

bool UploadSource::ReadAhead() {
    ahead_.resize(kReadAheadBytes);
    aheadOffset_ = 0;
    ssize_t got;
    do {
        got = ::read(fd_, ahead_.data(), ahead_.size());
    } while (got < 0 && errno == EINTR);
    ahead_.resize(got < 0 ? 0 : static_cast<std::size_t>(got));
    return got >= 0;
}

std::size_t UploadSource::CurlRead(char* buffer, std::size_t size, std::size_t count, void* source) {
    return static_cast<UploadSource*>(source)->Read(buffer, size * count);
}

std::size_t UploadSource::Read(char* buffer, std::size_t capacity) {
    if (aheadOffset_ < ahead_.size()) {
        const std::size_t length = std::min(capacity, ahead_.size() - aheadOffset_);
        std::memcpy(buffer, ahead_.data() + aheadOffset_, length);
        aheadOffset_ += length;
        return length;
    }
    ssize_t got;
    do {
        got = ::read(fd_, buffer, capacity);
    } while (got < 0 && errno == EINTR);
    return got < 0 ? CURL_READFUNC_ABORT : static_cast<std::size_t>(got);
}

Status UploadFile(uint32_t address, const char* localPath, const char* remoteName) {
    if (localPath == nullptr) return Status::Failure(text::kNoLocalPath);
    if (remoteName == nullptr) return Status::Failure(text::kNoRemoteName);
    const std::string path = TrimWhiteSpace(localPath);
    const std::string_view name = remoteName;
    if (!IsEightDotThree(name)) return Status::Failure(text::kNameNot83);
    if (HoldsControlCharacter(name)) return Status::Failure(text::kControlCharacter);

    // The file is opened and its first block read before connecting: a file that cannot be read
    // must not leave an empty file on the unit.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return Status::Failure(text::kCouldNotSendFile);
    UploadSource source(fd);
    if (!source.ReadAhead()) return Status::Failure(text::kCouldNotSendFile);

    // On Linux a connection to 0.0.0.0 reaches this very machine: a unit without an address
    // would have its file land on the administrator's own FTP server.
    if (address == 0) return Status::Failure(text::kCouldNotOpenConnection);
    const EasyHandle handle(curl_easy_init());
    if (!handle) return Status::Failure(text::kCouldNotOpenConnection);

    TransferWatch watch;
    const std::string loginUrl = "ftp://" + FormatDottedQuad(address) + ":21/";
    if (!SetSessionOptions(handle.get(), loginUrl, &watch)) {
        return Status::Failure(text::kCouldNotSetConnectionOption);
    }
    if (!LogIn(handle.get())) return Status::Failure(text::kCouldNotOpenConnection);

    // Escaped in the URL and decoded by libcurl, with dot segments left alone, the name reaches
    // STOR byte for byte: blanks, "%", "#", "?", ";" and leading dots included.
    const std::unique_ptr<char, CurlFree> escapedName(
        curl_easy_escape(handle.get(), name.data(), static_cast<int>(name.size())));
    const std::unique_ptr<curl_slist, SlistFree> typeCommand(curl_slist_append(nullptr, "TYPE A"));
    if (!escapedName || !typeCommand ||
        !SetStoreOptions(handle.get(), loginUrl + escapedName.get(), typeCommand.get(), &source, &watch)) {
        return Status::Failure(text::kCouldNotSetConnectionOption);
    }

    watch = TransferWatch{};
    if (curl_easy_perform(handle.get()) == CURLE_OK) return {};

    // libcurl connects again on its own when the logged-in connection has gone; a reconnect that
    // fails, at the TCP connect or at the login, is a connection failure, not a failed send.
    const bool reconnectFailed = watch.connectAttempts > 0 && !watch.loggedIn;
    return Status::Failure(reconnectFailed ? text::kCouldNotOpenConnection : text::kCouldNotSendFile);
}

}  // namespace varl
