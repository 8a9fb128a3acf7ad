#include "ftp_upload.h"

#include <curl/curl.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "curl_connect_failure.h"
#include "curl_options.h"
#include "dotted_quad.h"
#include "failure_texts.h"
#include "ftp_transfer_watch.h"
#include "trace.h"

namespace varl {
namespace {

// In libcurl the connect time-out covers the login as well as the TCP connect.
constexpr long kConnectTimeoutMs = 2000;
constexpr int kConnectRetries = 2;
// libcurl's own reply time-out. The watch times each command's reply itself; this one bounds the
// final reply after the transfer, whose wait libcurl starts when the read callback ends the file,
// and the read callback ends it only once the unit has taken every byte. A unit's small
// processor may take seconds to answer then, its file written to flash.
constexpr long kFinalReplyTimeoutSeconds = 5;
// How long the unit may take to connect back for the active-mode data connection.
constexpr long kAcceptTimeoutMs = 5000;
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
using Slist = std::unique_ptr<curl_slist, SlistFree>;

// What the read callback of the store step works with.
struct StoreStep {
    UploadSource* source;
    TransferWatch* watch;
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

// The file's end goes to libcurl only once the unit has taken every byte.
std::size_t ReadForStore(char* buffer, std::size_t size, std::size_t count, void* step) {
    auto& store = *static_cast<StoreStep*>(step);
    const std::size_t got = UploadSource::CurlRead(buffer, size, count, store.source);
    if (got == 0 && !store.watch->UnitTookEveryByte(static_cast<curl_off_t>(store.source->handed()))) {
        return CURL_READFUNC_ABORT;
    }
    return got;
}

// Options for every step; false when libcurl refuses one.
bool SetSessionOptions(CURL* handle, const std::string& loginUrl, TransferWatch& watch) {
    CurlOptions options(handle);
    options.Set(CURLOPT_URL, loginUrl.c_str())
        .Set(CURLOPT_PROXY, "")  // never a proxy from the environment
        .Set(CURLOPT_NOSIGNAL, 1L)
        .Set(CURLOPT_USERNAME, kFtpLogin)
        .Set(CURLOPT_PASSWORD, kFtpLogin)
        .Set(CURLOPT_FTPPORT, "-")  // active mode, the data port on the control connection's address
        .Set(CURLOPT_FTP_FILEMETHOD, static_cast<long>(CURLFTPMETHOD_NOCWD))
        .Set(CURLOPT_PATH_AS_IS, 1L)
        .Set(CURLOPT_CONNECTTIMEOUT_MS, kConnectTimeoutMs)
        .Set(CURLOPT_SERVER_RESPONSE_TIMEOUT, kFinalReplyTimeoutSeconds)
        .Set(CURLOPT_ACCEPTTIMEOUT_MS, kAcceptTimeoutMs)
        // The login step: with no file in the URL this sends only USER, PASS and PWD.
        .Set(CURLOPT_NOBODY, 1L);
    return options.ok() && watch.Attach(handle);
}

bool SetStoreOptions(CURL* handle, const std::string& fileUrl, curl_slist* typeCommand, StoreStep* step) {
    CurlOptions options(handle);
    options.Set(CURLOPT_URL, fileUrl.c_str())
        .Set(CURLOPT_NOBODY, 0L)
        .Set(CURLOPT_UPLOAD, 1L)
        // libcurl's TYPE A mode turns every LF into CRLF on the way out, and a unit stores what it
        // receives. So libcurl sends as binary and the "TYPE A" goes out as a command of its own,
        // right before STOR.
        .Set(CURLOPT_TRANSFERTEXT, 0L)
        .Set(CURLOPT_PREQUOTE, typeCommand)
        .Set(CURLOPT_READFUNCTION, ReadForStore)
        .Set(CURLOPT_READDATA, static_cast<void*>(step));
    return options.ok();
}

bool LogIn(CURL* handle, TransferWatch& watch, const Trace& trace) {
    for (int attempt = 0; attempt <= kConnectRetries; ++attempt) {
        watch.StartAttempt(DataMode::kActive);
        const CURLcode result = curl_easy_perform(handle);
        if (result == CURLE_OK) return true;
        const bool connectFailed = ConnectFailed(handle, result);
        trace.Line("ftp %s failed: %s", connectFailed ? "connect" : "login", curl_easy_strerror(result));
        if (!connectFailed) return false;
    }
    return false;
}

CURLcode Store(CURL* handle, DataMode mode, TransferWatch& watch) {
    watch.StartAttempt(mode);
    const CURLcode result = curl_easy_perform(handle);
    watch.TraceStoreEnd(result);
    return result;
}

// A truncated page left on the unit would be served as if whole.
void DeletePartialFile(CURL* handle, const std::string& loginUrl, std::string_view name, TransferWatch& watch,
                       const Trace& trace) {
    trace.Quoted("ftp deleting the partial file", name.data(), name.size());
    const Slist deleteCommand(curl_slist_append(nullptr, ("DELE " + std::string(name)).c_str()));
    CurlOptions options(handle);
    options.Set(CURLOPT_URL, loginUrl.c_str())
        .Set(CURLOPT_UPLOAD, 0L)
        .Set(CURLOPT_NOBODY, 1L)
        .Set(CURLOPT_PREQUOTE, static_cast<curl_slist*>(nullptr))
        .Set(CURLOPT_QUOTE, deleteCommand.get());
    if (!deleteCommand || !options.ok()) {
        trace.Line("ftp could not delete the partial file: libcurl refused the command");
        return;
    }
    watch.StartAttempt(DataMode::kActive);
    const CURLcode result = curl_easy_perform(handle);
    curl_easy_setopt(handle, CURLOPT_QUOTE, static_cast<curl_slist*>(nullptr));
    if (result == CURLE_OK) {
        trace.Line("ftp deleted the partial file");
    } else {
        trace.Line("ftp could not delete the partial file: %s", curl_easy_strerror(result));
    }
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

bool UploadSource::Rewind() {
    handed_ = 0;
    return ::lseek(fd_, 0, SEEK_SET) == 0 && ReadAhead();
}

std::size_t UploadSource::CurlRead(char* buffer, std::size_t size, std::size_t count, void* source) {
    return static_cast<UploadSource*>(source)->Read(buffer, size * count);
}

std::size_t UploadSource::Read(char* buffer, std::size_t capacity) {
    if (aheadOffset_ < ahead_.size()) {
        const std::size_t length = std::min(capacity, ahead_.size() - aheadOffset_);
        std::memcpy(buffer, ahead_.data() + aheadOffset_, length);
        aheadOffset_ += length;
        handed_ += length;
        return length;
    }
    ssize_t got;
    do {
        got = ::read(fd_, buffer, capacity);
    } while (got < 0 && errno == EINTR);
    if (got < 0) return CURL_READFUNC_ABORT;
    handed_ += static_cast<uint64_t>(got);
    return static_cast<std::size_t>(got);
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

    const Trace trace = Trace::FromEnvironment();
    const std::string unit = FormatDottedQuad(address);
    trace.Quoted(("upload to " + unit + " as").c_str(), name.data(), name.size());
    // Everything libcurl's callbacks reach outlives the handle, whose cleanup still sends QUIT.
    TransferWatch watch(trace, address);
    StoreStep step{&source, &watch};
    const Slist typeCommand(curl_slist_append(nullptr, "TYPE A"));
    const EasyHandle handle(curl_easy_init());
    if (!handle) return Status::Failure(text::kCouldNotOpenConnection);

    const std::string loginUrl = "ftp://" + unit + ":21/";
    if (!SetSessionOptions(handle.get(), loginUrl, watch)) {
        return Status::Failure(text::kCouldNotSetConnectionOption);
    }
    if (!LogIn(handle.get(), watch, trace)) return Status::Failure(text::kCouldNotOpenConnection);

    // Escaped in the URL and decoded by libcurl, with dot segments left alone, the name reaches
    // STOR byte for byte: blanks, "%", "#", "?", ";" and leading dots included.
    const std::unique_ptr<char, CurlFree> escapedName(
        curl_easy_escape(handle.get(), name.data(), static_cast<int>(name.size())));
    if (!escapedName || !typeCommand ||
        !SetStoreOptions(handle.get(), loginUrl + escapedName.get(), typeCommand.get(), &step)) {
        return Status::Failure(text::kCouldNotSetConnectionOption);
    }

    CURLcode result = Store(handle.get(), DataMode::kActive, watch);
    if (result == CURLE_OK) return {};
    // libcurl connects again on its own when the logged-in connection has gone; a reconnect that
    // fails, at the TCP connect or at the login, is a connection failure, not a failed send.
    const bool reconnectFailed = watch.ControlConnectAttempts() > 0 && !watch.LoggedIn();
    const Status failure = Status::Failure(reconnectFailed ? text::kCouldNotOpenConnection : text::kCouldNotSendFile);

    // A firewall on the PC lets in only connections that the PC opened: passive mode's.
    if (watch.ActiveModeBlocked(result)) {
        trace.Line("ftp active mode failed: the unit could not open the data connection; storing once more in passive mode");
        if (!source.Rewind() || curl_easy_setopt(handle.get(), CURLOPT_FTPPORT, static_cast<char*>(nullptr)) != CURLE_OK) {
            return failure;
        }
        result = Store(handle.get(), DataMode::kPassive, watch);
        if (result == CURLE_OK) return {};
    }
    if (watch.FileCreated()) DeletePartialFile(handle.get(), loginUrl, name, watch, trace);
    return failure;
}

}  // namespace varl
