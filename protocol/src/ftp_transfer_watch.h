// What one upload's libcurl callbacks see, and the silences they allow. The transfer is judged by
// what the unit has taken, not by what libcurl has handed to the kernel: a socket's send buffer
// can hold seconds of a slow unit's data, and only the kernel knows how much of it is still
// queued (SIOCOUTQ). With the trace on, the watch writes every command and reply, the password
// shown as ***, and the data connection's mode and addresses.
#pragma once

#include <curl/curl.h>
#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

#include "trace.h"

namespace varl {

// Who opens the data connection: the unit's server (active) or the PC (passive).
enum class DataMode { kActive, kPassive };

class TransferWatch {
public:
    TransferWatch(const Trace& trace, uint32_t unitAddress) : trace_(trace), unitAddress_(unitAddress) {}
    TransferWatch(const TransferWatch&) = delete;
    TransferWatch& operator=(const TransferWatch&) = delete;

    // Sets the callbacks that report to this watch on handle; false when libcurl refuses one.
    bool Attach(CURL* handle);

    // Before each curl_easy_perform: forgets the last attempt but whether the unit created the file.
    void StartAttempt(DataMode mode);

    // For the read callback at the end of the file, when handed bytes have gone to libcurl: waits
    // until the unit has taken every byte still queued on the data connection, so that libcurl's
    // wait for the final reply starts only then. False when the unit took no byte for the stall
    // limit or the data connection broke.
    bool UnitTookEveryByte(curl_off_t handed);

    // What the last attempt saw.
    bool LoggedIn() const { return loggedIn_; }
    int ControlConnectAttempts() const { return controlConnectAttempts_; }
    // The unit's server could not open the active-mode data connection: the firewall of the PC
    // dropped or refused it, or the server gave up. result: the attempt's.
    bool ActiveModeBlocked(CURLcode result) const;

    // STOR was answered with a preliminary reply in some attempt of this call: the unit created
    // or truncated the file.
    bool FileCreated() const { return fileCreated_; }

    // A trace line on how the last store attempt ended: the bytes the unit took, and why it failed.
    void TraceStoreEnd(CURLcode result) const;

private:
    using Clock = std::chrono::steady_clock;

    enum class Phase {
        kLibcurl,         // libcurl works or waits under a limit of its own (connect, accept, final reply)
        kAwaitingReply,   // a command is out, its reply not yet in
        kTransfer,        // STOR accepted: the file's bytes move
    };
    enum class Stop { kNone, kNoReply, kNoProgress, kDataConnectionBroke };

    // The data connection's socket, while libcurl holds it. libcurl closes an accepted socket
    // without telling, so the descriptor counts as this socket only while it names the same inode.
    class DataSocket {
    public:
        void Set(int descriptor);
        void Forget() { descriptor_ = -1; }
        bool known() const { return descriptor_ >= 0; }
        // Bytes neither sent nor acknowledged by the unit; -1 when the socket is gone.
        int Queued() const;
        // "A:PORT to B:PORT", the side that connected first; empty when unknown.
        std::string Describe(bool peerConnected) const;
        int descriptor() const { return descriptor_; }

    private:
        int descriptor_ = -1;
        dev_t device_ = 0;
        ino_t inode_ = 0;
    };

    static curl_socket_t OpenSocket(void* watch, curlsocktype purpose, curl_sockaddr* address);
    static int SocketOptions(void* watch, curl_socket_t socket, curlsocktype purpose);
    static int Debug(CURL* handle, curl_infotype type, char* data, std::size_t size, void* watch);
    static std::size_t Reply(char* line, std::size_t size, std::size_t count, void* watch);
    static int Progress(void* watch, curl_off_t, curl_off_t, curl_off_t, curl_off_t uploaded);

    void NoteCommand(std::string_view line);
    void NoteReply(std::string_view line);
    // taken: the bytes handed to the kernel less those still queued.
    void NoteTaken(curl_off_t taken, Clock::time_point now);
    void TraceDataConnection();
    // What the progress callback returns to have libcurl abort.
    int Abort(Stop stop);

    const Trace& trace_;
    const uint32_t unitAddress_;
    bool fileCreated_ = false;

    // The present attempt: the mode asked of libcurl, and the one its data connection took.
    DataMode mode_ = DataMode::kActive;
    DataMode dataMode_ = DataMode::kActive;
    Clock::time_point started_;
    Phase phase_ = Phase::kLibcurl;
    Clock::time_point quietSince_;
    Stop stop_ = Stop::kNone;
    int controlConnectAttempts_ = 0;
    bool loggedIn_ = false;
    bool portCommandSent_ = false;
    bool dataConnectionTraced_ = false;
    std::string lastVerb_;
    int lastReplyCode_ = 0;
    DataSocket data_;
    curl_off_t taken_ = 0;
};

}  // namespace varl
