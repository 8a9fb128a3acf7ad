#include "upload_command.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <variant>

#include "addressing_input.h"
#include "discovery.h"
#include "exit_status.h"
#include "format_option.h"
#include "ipv4_text.h"
#include "parallel_uploads.h"
#include "serial_text.h"
#include "unit_formats.h"
#include "unit_text.h"
#include "upload.h"
#include "upload_progress.h"

namespace quorrel::cli {
namespace {

using Clock = std::chrono::steady_clock;

// How often the progress line is drawn again while no unit finishes, so that the time left counts
// down.
constexpr std::chrono::milliseconds kProgressRedraw{500};

struct Destination {
    std::optional<std::uint32_t> serial;
    std::uint32_t address = 0;
};

// A target given by address is used as it is; one given by serial is found by a discovery.
using Target = std::variant<Destination, std::uint32_t>;

// What the command line asks for, every part of it checked.
struct Request {
    bool every = false;
    std::vector<Target> targets;
    std::string localPath;
    std::string remoteName;
    std::uintmax_t size = 0;
};

// The units the file goes to, each address once, and the serials asked for that no unit answered.
struct Destinations {
    std::vector<Destination> found;
    std::vector<std::uint32_t> missing;
};

std::string DestinationText(const Destination& destination) {
    const std::string address = FormatAddress(destination.address);
    return destination.serial ? FormatSerial(*destination.serial) + " at " + address : address;
}

std::string MissingText(std::uint32_t serial) { return "no unit with serial " + FormatSerial(serial) + " answered"; }

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
std::string Duration(Clock::duration elapsed) {
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

// Targets separated by commas, blanks around each ignored.
std::optional<std::vector<Target>> ReadTargets(const std::string& text, std::string& error) {
    std::vector<Target> targets;
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = text.find(',', start);
        std::string item = text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        item.erase(0, item.find_first_not_of(" \t"));
        item.erase(item.find_last_not_of(" \t") + 1);
        if (item.empty()) {
            error = "no target between the commas of '" + text + "'";
            return std::nullopt;
        }
        const std::optional<Target> target = ReadTarget(item, error);
        if (!target) return std::nullopt;
        targets.push_back(*target);
        if (comma == std::string::npos) return targets;
        start = comma + 1;
    }
}

std::optional<Request> ReadRequest(const UploadOptions& options, const Console& console) {
    const std::vector<std::string>& arguments = options.arguments;
    const std::size_t targets = options.all ? 0 : 1;
    if (arguments.size() < targets + 1 || arguments.size() > targets + 2) {
        console.Error(options.all ? "upload --all takes FILE [REMOTE-NAME]"
                                  : "upload takes TARGET[,TARGET...] FILE [REMOTE-NAME]");
        return std::nullopt;
    }
    Request request;
    request.every = options.all;
    request.localPath = arguments[targets];
    request.remoteName = arguments.size() > targets + 1 ? arguments[targets + 1] : DefaultRemoteName(request.localPath);
    std::string error;
    if (!options.all) {
        auto read = ReadTargets(arguments[0], error);
        if (!read) {
            console.Error(error);
            return std::nullopt;
        }
        request.targets = std::move(*read);
    }
    const std::optional<std::uintmax_t> size = LocalFileSize(request.localPath, error);
    if (!size) {
        console.Error(error);
        return std::nullopt;
    }
    request.size = *size;
    return request;
}

// Adds the destination unless its address is there already: two uploads of one file to one FTP
// server at once would write the same file twice over.
void AddDestination(Destinations& destinations, const Destination& destination, const Console& console) {
    const auto same = std::find_if(destinations.found.begin(), destinations.found.end(),
                                   [&](const Destination& d) { return d.address == destination.address; });
    if (same == destinations.found.end()) {
        destinations.found.push_back(destination);
    } else if (destination.serial && same->serial && *destination.serial != *same->serial) {
        console.Warning(FormatSerial(*destination.serial) + " reports the address of " + FormatSerial(*same->serial) +
                        ", " + FormatAddress(destination.address) + ": the file goes to that address once");
    }
}

// The units to store on, or the exit status when the discovery failed. With every unit, in order
// of serial; else in the order asked.
std::variant<Destinations, int> FindDestinations(const LibraryExports& library, const CommonOptions& common,
                                                 const Request& request, const Console& console) {
    const bool bySerial = request.every || std::any_of(request.targets.begin(), request.targets.end(),
                                                       [](const Target& t) { return t.index() == 1; });
    std::vector<DeviceRecord> units;
    if (bySerial) {
        Discovery discovery = DiscoverAllUnits(library, kSiteCapacity, common.timeoutMs);
        if (discovery.failure) {
            console.Failure(*discovery.failure);
            return ExitStatusOf(*discovery.failure);
        }
        units = std::move(discovery.units);
    }
    Destinations destinations;
    if (request.every) {
        std::sort(units.begin(), units.end(),
                  [](const DeviceRecord& a, const DeviceRecord& b) { return a.serial < b.serial; });
        for (const DeviceRecord& unit : units) AddDestination(destinations, {unit.serial, unit.address}, console);
        return destinations;
    }
    for (const Target& target : request.targets) {
        if (const auto* address = std::get_if<Destination>(&target)) {
            AddDestination(destinations, *address, console);
        } else if (const DeviceRecord* unit = FindUnit(units, std::get<std::uint32_t>(target))) {
            AddDestination(destinations, {unit->serial, unit->address}, console);
        } else if (std::find(destinations.missing.begin(), destinations.missing.end(), std::get<std::uint32_t>(target)) ==
                   destinations.missing.end()) {
            destinations.missing.push_back(std::get<std::uint32_t>(target));
        }
    }
    return destinations;
}

const char* ResultName(const UnitUpload& upload) {
    if (upload.tries == 0) return "not tried";
    if (!upload.failure) return "stored";
    return upload.failure->kind == FailureKind::ArgumentRefused ? "refused" : "failed";
}

// {"remote_name": ..., "units": [{"serial", "address", "result", "bytes", "seconds", "tries",
// "failure"}, ...]}: the units stored on in the order they were taken, then the serials no unit
// answered to.
std::string SummaryJson(const Request& request, const Destinations& destinations, const std::vector<UnitUpload>& ends) {
    nlohmann::ordered_json units = nlohmann::ordered_json::array();
    for (std::size_t at = 0; at < ends.size(); ++at) {
        const Destination& destination = destinations.found[at];
        const UnitUpload& end = ends[at];
        const bool stored = end.tries > 0 && !end.failure;
        units.push_back({{"serial", destination.serial ? nlohmann::ordered_json(FormatSerial(*destination.serial)) : nullptr},
                         {"address", FormatAddress(destination.address)},
                         {"result", ResultName(end)},
                         {"bytes", stored ? request.size : 0},
                         {"seconds", std::round(std::chrono::duration<double>(end.elapsed).count() * 1000) / 1000},
                         {"tries", end.tries},
                         {"failure", end.failure ? nlohmann::ordered_json(std::string(FailureText(*end.failure))) : nullptr}});
    }
    for (const std::uint32_t serial : destinations.missing) {
        units.push_back({{"serial", FormatSerial(serial)},
                         {"address", nullptr},
                         {"result", "not found"},
                         {"bytes", 0},
                         {"seconds", 0},
                         {"tries", 0},
                         {"failure", MissingText(serial)}});
    }
    const nlohmann::ordered_json summary{{"remote_name", request.remoteName}, {"units", units}};
    return summary.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + '\n';
}

// Stores the file on every destination, up to options.jobs at once, saying how each went as it
// ends. Returns the exit status.
int StoreOnEach(const LibraryExports& library, const Request& request, const Destinations& destinations,
                const UploadOptions& options, const Console& console) {
    const std::vector<Destination>& found = destinations.found;
    UploadProgress progress(found.size(), request.size);
    TerminalLine progressLine(console.err);
    const auto started = Clock::now();
    // The first failure that every unit would meet; later ones like it are not repeated.
    std::optional<CallFailure> stoppedBy;

    UploadReports reports;
    reports.finished = [&](std::size_t unit, const UnitUpload& upload) {
        progress.Finished(!upload.failure, Clock::now() - started);
        progressLine.Clear();
        const std::string tries = upload.tries > 1 ? std::to_string(upload.tries) + " tries" : "";
        if (!upload.failure) {
            if (!options.json) {
                console.out << DestinationText(found[unit]) << ": stored " << request.remoteName << ", " << request.size
                            << " bytes in " << Duration(upload.elapsed) << (tries.empty() ? "" : ", " + tries) << '\n'
                            << std::flush;
            }
        } else if (!FailsEveryUnit(*upload.failure)) {
            console.err << "quorrel: " << DestinationText(found[unit]) << ": " << FailureText(*upload.failure)
                        << (tries.empty() ? "" : " (" + tries + ")") << '\n';
        } else if (!stoppedBy) {
            stoppedBy = upload.failure;
            console.Failure(*upload.failure, upload.failure->kind == FailureKind::ArgumentRefused
                                                 ? "remote name '" + PrintableText(request.remoteName) + "': "
                                                 : DestinationText(found[unit]) + ": ");
        }
    };
    reports.retrying = [&](std::size_t unit, const CallFailure& failure, unsigned nextTry) {
        progressLine.Clear();
        console.Warning(DestinationText(found[unit]) + ": " + std::string(FailureText(failure)) + " Trying again (try " +
                        std::to_string(nextTry) + " of " + std::to_string(options.retries + 1) + ").");
    };
    if (console.terminal) {
        reports.tick = [&] { progressLine.Draw(progress.Line(Clock::now() - started)); };
    }

    const UploadSettings settings{options.jobs, options.retries,
                                  console.terminal ? kProgressRedraw : std::chrono::milliseconds{0}};
    const std::vector<UnitUpload> ends = UploadToUnits(
        found.size(), settings,
        [&](std::size_t unit) { return UploadFile(library, found[unit].address, request.localPath, request.remoteName); },
        reports);
    progressLine.Clear();

    if (options.json) console.out << SummaryJson(request, destinations, ends);
    if (stoppedBy) return ExitStatusOf(*stoppedBy);
    const bool anyFailed = std::any_of(ends.begin(), ends.end(), [](const UnitUpload& end) { return end.failure.has_value(); });
    return anyFailed || !destinations.missing.empty() || found.empty() ? kExitFailed : kExitDone;
}

}  // namespace

void DefineUploadCommand(CLI::App& program, Invocation& invocation) {
    auto options = std::make_shared<UploadOptions>();
    auto format = std::make_shared<std::string>("text");
    const std::string choices = "[--jobs N] [--retries N] [--format text|json] ";
    CLI::App* command = AddCommand(
        program, invocation, "upload", "Store a file on units, or on every unit, several at once",
        "Usage: quorrel upload " + choices + kCommonUsage + " TARGET[,TARGET...] FILE [REMOTE-NAME]\n" +
            "       quorrel upload --all " + choices + kCommonUsage + " FILE [REMOTE-NAME]",
        "Prints a line for each unit as its upload ends: what was stored, where, how many bytes and how long\n"
        "it took; failures go to standard error. On a terminal, a line below them shows the units done, the\n"
        "bytes stored, the rate and the time left.\n\n"
        "Examples:\n"
        "  quorrel upload 1A2B3 index.htm\n"
        "  quorrel upload 1A2B3,1B3C4,10.77.0.15 start-page.html INDEX.HTM\n"
        "  quorrel upload --all --jobs 8 --retries 2 index.htm");
    command
        ->add_option("TARGETS FILE [REMOTE-NAME]", options->arguments,
                     "TARGETS: units' serials or IPv4 addresses, separated by\n"
                     "commas (not with --all)\n"
                     "REMOTE-NAME: at most eight characters before its first dot;\n"
                     "the default is FILE's own name")
        ->option_text(" ");
    command->add_flag("--all", options->all, "Store the file on every unit that answers");
    command->add_option("--jobs", options->jobs, "Store on up to N units at once (default 4; 1: one after another)")
        ->option_text("N")
        ->check(CLI::Range(std::size_t{1}, std::size_t{256}));
    command
        ->add_option("--retries", options->retries,
                     "Try an upload that failed for a network reason up to N more times\n(default 0)")
        ->option_text("N")
        ->check(CLI::Range(0u, 100u));
    AddFormatOption(*command, *format, {"text", "json"},
                    "text: a line per unit (the default); json: one summary for scripts");
    command->callback([&invocation, options, format] {
        options->json = *format == "json";
        invocation.run = RunOf<UploadOptions>(invocation, options, RunUpload);
    });
}

int RunUpload(const LibraryExports& library, const CommonOptions& common, const UploadOptions& options,
              const Console& console) {
    const std::optional<Request> request = ReadRequest(options, console);
    if (!request) return kExitWrongInput;
    auto destinations = FindDestinations(library, common, *request, console);
    if (const int* status = std::get_if<int>(&destinations)) return *status;
    const Destinations& found = std::get<Destinations>(destinations);
    for (const std::uint32_t serial : found.missing) console.Error(MissingText(serial));
    if (request->every && found.found.empty()) console.Error("no units answered; nothing stored");
    return StoreOnEach(library, *request, found, options, console);
}

}  // namespace quorrel::cli
