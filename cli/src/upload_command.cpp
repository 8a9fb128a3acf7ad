#include "upload_command.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>

#include "addressing.h"
#include "confirmation.h"
#include "discovery.h"
#include "exit_status.h"
#include "ipv4_text.h"
#include "serial_text.h"
#include "unit_formats.h"
#include "unit_text.h"
#include "upload.h"

namespace quorrel::cli {
namespace {

// The library's texts for a remote name it refuses begin so; the name is then the user's input
// to correct, and no connection was made.
constexpr std::string_view kRefusedNamePrefix = "File upload error.";

struct Destination {
    std::optional<std::uint32_t> serial;
    std::uint32_t address = 0;
};

std::string DestinationText(const Destination& destination) {
    const std::string address = FormatAddress(destination.address);
    return destination.serial ? FormatSerial(*destination.serial) + " at " + address : address;
}

// The file's size, or a line saying why it cannot be sent.
std::optional<std::uintmax_t> LocalFileSize(const std::string& path, std::string& error) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) {
        error = path + ": " + std::strerror(errno);
        return std::nullopt;
    }
    if (S_ISDIR(status.st_mode)) {
        error = path + ": is a folder, not a file";
        return std::nullopt;
    }
    if (std::FILE* file = std::fopen(path.c_str(), "rb")) {
        std::fclose(file);
        return static_cast<std::uintmax_t>(status.st_size);
    }
    error = path + ": " + std::strerror(errno);
    return std::nullopt;
}

// "4 ms" below a second, "12.34 s" from then on.
std::string Duration(std::chrono::steady_clock::duration elapsed) {
    const double seconds = std::chrono::duration<double>(elapsed).count();
    char text[32];
    if (seconds < 1) {
        std::snprintf(text, sizeof text, "%.0f ms", seconds * 1000);
    } else {
        std::snprintf(text, sizeof text, "%.2f s", seconds);
    }
    return text;
}

}  // namespace

int RunUpload(const LibraryExports& library, const CommonOptions& common, const UploadOptions& options,
              const Console& console) {
    const std::vector<std::string>& arguments = options.arguments;
    const std::size_t targets = options.all ? 0 : 1;
    if (arguments.size() < targets + 1 || arguments.size() > targets + 2) {
        console.Error(options.all ? "upload --all takes FILE [REMOTE-NAME]" : "upload takes TARGET FILE [REMOTE-NAME]");
        return kExitWrongInput;
    }
    const std::string& localPath = arguments[targets];
    const std::string remoteName = arguments.size() > targets + 1
                                       ? arguments[targets + 1]
                                       : std::filesystem::path(localPath).filename().string();

    // A target with a dot is an address, anything else a serial.
    std::optional<Destination> byAddress;
    std::optional<std::uint32_t> bySerial;
    std::string error;
    if (!options.all) {
        const std::string& target = arguments[0];
        if (target.find('.') != std::string::npos) {
            const std::optional<std::uint32_t> address = ReadAddress("address", target, error);
            if (!address) {
                console.Error(error);
                return kExitWrongInput;
            }
            byAddress = Destination{std::nullopt, *address};
        } else if (!(bySerial = ParseSerial(target))) {
            console.Error(BadSerialText(target) + ", or an IPv4 address");
            return kExitWrongInput;
        }
    }
    const std::optional<std::uintmax_t> size = LocalFileSize(localPath, error);
    if (!size) {
        console.Error(error);
        return kExitWrongInput;
    }

    std::vector<Destination> destinations;
    if (byAddress) {
        destinations.push_back(*byAddress);
    } else {
        const Discovery discovery = DiscoverAllUnits(library, common.timeoutMs);
        if (discovery.failure) {
            console.Failure(*discovery.failure);
            return kExitFailed;
        }
        for (const DeviceRecord& unit : discovery.units) {
            if (options.all || unit.serial == *bySerial) destinations.push_back({unit.serial, unit.address});
        }
        std::sort(destinations.begin(), destinations.end(),
                  [](const Destination& a, const Destination& b) { return a.serial < b.serial; });
        if (destinations.empty()) {
            console.Error(options.all ? "no units answered; nothing stored"
                                      : "no unit with serial " + FormatSerial(*bySerial) + " answered");
            return kExitFailed;
        }
    }

    int failed = 0;
    for (const Destination& destination : destinations) {
        const auto started = std::chrono::steady_clock::now();
        const std::optional<CallFailure> failure = UploadFile(library, destination.address, localPath, remoteName);
        const auto elapsed = std::chrono::steady_clock::now() - started;
        if (!failure) {
            console.out << DestinationText(destination) << ": stored " << remoteName << ", " << *size
                        << " bytes in " << Duration(elapsed) << '\n';
            continue;
        }
        if (failure->text.rfind(kRefusedNamePrefix, 0) == 0) {
            // The same name would be refused for every unit.
            console.Failure(*failure, "remote name '" + PrintableText(remoteName) + "': ");
            return kExitWrongInput;
        }
        console.Failure(*failure, DestinationText(destination) + ": ");
        ++failed;
    }
    return failed > 0 ? kExitFailed : kExitDone;
}

}  // namespace quorrel::cli
