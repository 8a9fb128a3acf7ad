#include "upload_command.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <variant>

#include "addressing_input.h"
#include "discovery.h"
#include "exit_status.h"
#include "ipv4_text.h"
#include "serial_text.h"
#include "unit_formats.h"
#include "unit_text.h"
#include "upload.h"

namespace quorrel::cli {
namespace {

struct Destination {
    std::optional<std::uint32_t> serial;
    std::uint32_t address = 0;
};

struct EveryUnit {};

// An address is used as it is; a serial, or every unit, is found by a discovery.
using Target = std::variant<Destination, std::uint32_t, EveryUnit>;

// What the command line asks for, every part of it checked.
struct Request {
    Target target;
    std::string localPath;
    std::string remoteName;
    std::uintmax_t size = 0;
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

// A target with a dot is an address, anything else a serial.
std::optional<Target> ReadTarget(const std::string& target, std::string& error) {
    if (target.find('.') != std::string::npos) {
        const std::optional<std::uint32_t> address = ReadAddress("address", target, error);
        if (!address) return std::nullopt;
        return Destination{std::nullopt, *address};
    }
    const std::optional<std::uint32_t> serial = ParseSerial(target);
    if (!serial) {
        error = BadSerialText(target) + ", or an IPv4 address";
        return std::nullopt;
    }
    return *serial;
}

std::optional<Request> ReadRequest(const UploadOptions& options, const Console& console) {
    const std::vector<std::string>& arguments = options.arguments;
    const std::size_t targets = options.all ? 0 : 1;
    if (arguments.size() < targets + 1 || arguments.size() > targets + 2) {
        console.Error(options.all ? "upload --all takes FILE [REMOTE-NAME]" : "upload takes TARGET FILE [REMOTE-NAME]");
        return std::nullopt;
    }
    Request request;
    request.target = EveryUnit{};
    request.localPath = arguments[targets];
    request.remoteName = arguments.size() > targets + 1 ? arguments[targets + 1] : DefaultRemoteName(request.localPath);
    std::string error;
    if (!options.all) {
        const auto target = ReadTarget(arguments[0], error);
        if (!target) {
            console.Error(error);
            return std::nullopt;
        }
        request.target = *target;
    }
    const std::optional<std::uintmax_t> size = LocalFileSize(request.localPath, error);
    if (!size) {
        console.Error(error);
        return std::nullopt;
    }
    request.size = *size;
    return request;
}

// The units to store on, in order of serial, or the exit status when there are none.
std::variant<std::vector<Destination>, int> FindDestinations(const LibraryExports& library,
                                                             const CommonOptions& common, const Request& request,
                                                             const Console& console) {
    if (const auto* address = std::get_if<Destination>(&request.target)) return std::vector<Destination>{*address};
    const auto* serial = std::get_if<std::uint32_t>(&request.target);
    const Discovery discovery = DiscoverAllUnits(library, kSiteCapacity, common.timeoutMs);
    if (discovery.failure) {
        console.Failure(*discovery.failure);
        return ExitStatusOf(*discovery.failure);
    }
    std::vector<Destination> destinations;
    for (const DeviceRecord& unit : discovery.units) {
        if (serial == nullptr || unit.serial == *serial) destinations.push_back({unit.serial, unit.address});
    }
    std::sort(destinations.begin(), destinations.end(),
              [](const Destination& a, const Destination& b) { return a.serial < b.serial; });
    if (destinations.empty()) {
        console.Error(serial == nullptr ? "no units answered; nothing stored"
                                        : "no unit with serial " + FormatSerial(*serial) + " answered");
        return kExitFailed;
    }
    return destinations;
}

// Stores the file on each destination in turn, saying how each went. A name the library refuses
// would be refused for every unit, so the first refusal ends the command.
int StoreOnEach(const LibraryExports& library, const Request& request, const std::vector<Destination>& destinations,
                const Console& console) {
    int status = kExitDone;
    for (const Destination& destination : destinations) {
        const auto started = std::chrono::steady_clock::now();
        const std::optional<CallFailure> failure =
            UploadFile(library, destination.address, request.localPath, request.remoteName);
        const auto elapsed = std::chrono::steady_clock::now() - started;
        if (!failure) {
            console.out << DestinationText(destination) << ": stored " << request.remoteName << ", " << request.size
                        << " bytes in " << Duration(elapsed) << '\n';
        } else if (failure->kind == FailureKind::ArgumentRefused) {
            console.Failure(*failure, "remote name '" + PrintableText(request.remoteName) + "': ");
            return ExitStatusOf(*failure);
        } else {
            console.Failure(*failure, DestinationText(destination) + ": ");
            status = ExitStatusOf(*failure);
        }
    }
    return status;
}

}  // namespace

void DefineUploadCommand(CLI::App& program, Invocation& invocation) {
    auto options = std::make_shared<UploadOptions>();
    CLI::App* command = AddCommand(program, invocation, "upload", "Store a file on a unit, or on every unit",
                                   std::string("Usage: quorrel upload ") + kCommonUsage +
                                       " TARGET FILE [REMOTE-NAME]\n"
                                       "       quorrel upload --all " +
                                       kCommonUsage + " FILE [REMOTE-NAME]",
                                   "Prints what was stored, where, how many bytes and how long it took, one line per "
                                   "unit.\n\n"
                                   "Examples:\n"
                                   "  quorrel upload 1A2B3 index.htm\n"
                                   "  quorrel upload 10.77.0.10 start-page.html INDEX.HTM\n"
                                   "  quorrel upload --all index.htm");
    command
        ->add_option("TARGET FILE [REMOTE-NAME]", options->arguments,
                     "TARGET: the unit's serial or IPv4 address (not with --all)\n"
                     "REMOTE-NAME: at most eight characters before its first dot;\n"
                     "the default is FILE's own name")
        ->option_text(" ");
    command->add_flag("--all", options->all, "Store the file on every unit that answers");
    command->callback([&invocation, options] { invocation.run = RunOf<UploadOptions>(invocation, options, RunUpload); });
}

int RunUpload(const LibraryExports& library, const CommonOptions& common, const UploadOptions& options,
              const Console& console) {
    const std::optional<Request> request = ReadRequest(options, console);
    if (!request) return kExitWrongInput;
    const auto destinations = FindDestinations(library, common, *request, console);
    if (const int* status = std::get_if<int>(&destinations)) return *status;
    return StoreOnEach(library, *request, std::get<std::vector<Destination>>(destinations), console);
}

}  // namespace quorrel::cli
