// The failure texts a caller reads, kept letter for letter as the system has always shown them.
#pragma once

#include <cstddef>
#include <initializer_list>
#include <string_view>

namespace varl::text {

// A caller's buffer holds 77 bytes: the longest text and its NUL.
inline constexpr std::size_t kLongest = 76;

// Arguments.
inline constexpr char kNullCount[] = "Argument error. The count pointer is null.";
inline constexpr char kNullRecord[] = "Argument error. The record pointer is null.";

// The UDP exchanges. Each goes out as "MESSAGE (NAME)" with the socket error's name.
inline constexpr char kCouldNotCreateSocket[] = "Communications error. Could not create socket.";
inline constexpr char kCouldNotSetOptions[] = "Communications error. Could not set socket options.";
inline constexpr char kCouldNotSendMessage[] = "Communications error. Could not send message.";
inline constexpr char kReceiveError[] = "Communications error. Receive error.";
// VARL_INTERFACES named interfaces to send on, and none of them can carry a broadcast.
inline constexpr char kNoUsableInterface[] = "Communications error. VARL_INTERFACES names no usable interface.";
// VARL_TARGETS could not be read; nothing was sent.
inline constexpr char kMalformedTargets[] = "Argument error. VARL_TARGETS holds an entry that is no address or range.";
inline constexpr char kTargetRangeTooWide[] = "Argument error. VARL_TARGETS holds a range wider than /16.";

// The FTP upload.
inline constexpr char kNoLocalPath[] = "File upload error. No local file path given.";
inline constexpr char kNoRemoteName[] = "File upload error. No remote file name given.";
inline constexpr char kNameNot83[] = "File upload error. Remote file name must use 8.3 format.";
inline constexpr char kControlCharacter[] = "File upload error. Remote file name holds a control character.";
inline constexpr char kCouldNotSetConnectionOption[] = "Communications error. Could not set connection option.";
inline constexpr char kCouldNotOpenConnection[] = "Communications error. Could not open transfer connection.";
inline constexpr char kCouldNotSendFile[] = "Communications error. Could not send file.";

// Anything thrown inside the library.
inline constexpr char kOutOfMemory[] = "Internal error. Out of memory.";
inline constexpr char kUnexpectedFailure[] = "Internal error. Unexpected failure inside the library.";

// Every text fits a caller's buffer.
constexpr bool AllFit(std::initializer_list<std::string_view> texts, std::size_t suffix) {
    for (std::string_view text : texts) {
        if (text.size() + suffix > kLongest) return false;
    }
    return true;
}
static_assert(AllFit({kNullCount, kNullRecord, kNoUsableInterface, kMalformedTargets, kTargetRangeTooWide, kNoLocalPath, kNoRemoteName, kNameNot83, kControlCharacter,
                      kCouldNotSetConnectionOption, kCouldNotOpenConnection, kCouldNotSendFile, kOutOfMemory,
                      kUnexpectedFailure},
                     0));
// " (NAME)" adds at most 25 characters: the longest name is "(unknown socket error)".
static_assert(AllFit({kCouldNotCreateSocket, kCouldNotSetOptions, kCouldNotSendMessage, kReceiveError}, 25));

}  // namespace varl::text
