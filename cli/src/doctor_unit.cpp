#include "doctor_unit.h"

#include <curl/curl.h>

#include <memory>

#include "curl_connect_failure.h"
#include "curl_options.h"
#include "ftp_upload.h"
#include "ipv4_text.h"
#include "unit_formats.h"
#include "unit_text.h"

namespace quorrel::cli {
namespace {

constexpr long kConnectTimeoutMs = 2000;
// How long the unit's server may take to connect back, and to answer a command: a server that
// connects before it answers EPRT keeps its reply back while it tries.
constexpr long kAcceptTimeoutMs = 3000;
constexpr long kReplyTimeoutSeconds = 3;

// The nftables rule that lets connection tracking follow the FTP commands to the unit, so that
// the unit's active-mode data connection counts as related to them and is let in.
constexpr const char* kFtpHelperRule =
    "nft 'add table inet quorrel_ftp; add ct helper inet quorrel_ftp ftp { type \"ftp\" protocol tcp; }; "
    "add chain inet quorrel_ftp output { type filter hook output priority filter; }; "
    "add rule inet quorrel_ftp output tcp dport 21 ct helper set \"ftp\"'";

struct EasyHandleCleanup {
    void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};

// What libcurl's callbacks tell of one probe.
struct Exchange {
    std::string lastReply;
    bool dataConnectionAccepted = false;
};

int KeepReplies(CURL*, curl_infotype type, char* data, std::size_t size, void* exchange) {
    if (type == CURLINFO_HEADER_IN) {
        std::string line(data, size);
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
        static_cast<Exchange*>(exchange)->lastReply = line;
    }
    return 0;
}

int NoteAccepted(void* exchange, curl_socket_t, curlsocktype purpose) {
    if (purpose == CURLSOCKTYPE_ACCEPT) static_cast<Exchange*>(exchange)->dataConnectionAccepted = true;
    return CURL_SOCKOPT_OK;
}

std::size_t Discard(char*, std::size_t size, std::size_t count, void*) { return size * count; }


// A data connection that never came, as opposed to a server that said no.
bool DataConnectionMissing(CURLcode result) {
    return result == CURLE_FTP_PORT_FAILED || result == CURLE_FTP_ACCEPT_FAILED || result == CURLE_FTP_ACCEPT_TIMEOUT ||
           result == CURLE_OPERATION_TIMEDOUT || result == CURLE_FTP_CANT_GET_HOST || result == CURLE_FTP_WEIRD_PASV_REPLY ||
           result == CURLE_COULDNT_CONNECT;
}

std::string Detail(CURLcode result, const Exchange& exchange) {
    return exchange.lastReply.empty() ? curl_easy_strerror(result) : "\"" + exchange.lastReply + "\"";
}

const char* StepText(FtpStep step) {
    switch (step) {
        case FtpStep::Works: return "works";
        case FtpStep::Blocked: return "blocked";
        case FtpStep::Refused: return "refused";
        case FtpStep::NotTried: return "not_tried";
    }
    return "";
}

}  // namespace

FtpProbe ProbeUnitFtp(std::uint32_t address) {
    FtpProbe probe;
    Exchange exchange;
    const std::unique_ptr<CURL, EasyHandleCleanup> handle(curl_easy_init());
    const std::string url = "ftp://" + FormatAddress(address) + ":21/";
    varl::CurlOptions options(handle.get());
    if (handle) {
        options.Set(CURLOPT_URL, url.c_str())
            .Set(CURLOPT_PROXY, "")
            .Set(CURLOPT_NOSIGNAL, 1L)
            .Set(CURLOPT_USERNAME, varl::kFtpLogin)
            .Set(CURLOPT_PASSWORD, varl::kFtpLogin)
            .Set(CURLOPT_CONNECTTIMEOUT_MS, kConnectTimeoutMs)
            .Set(CURLOPT_SERVER_RESPONSE_TIMEOUT, kReplyTimeoutSeconds)
            .Set(CURLOPT_ACCEPTTIMEOUT_MS, kAcceptTimeoutMs)
            .Set(CURLOPT_VERBOSE, 1L)
            .Set(CURLOPT_DEBUGFUNCTION, KeepReplies)
            .Set(CURLOPT_DEBUGDATA, static_cast<void*>(&exchange))
            .Set(CURLOPT_SOCKOPTFUNCTION, NoteAccepted)
            .Set(CURLOPT_SOCKOPTDATA, static_cast<void*>(&exchange))
            .Set(CURLOPT_WRITEFUNCTION, Discard)
            .Set(CURLOPT_NOBODY, 1L);  // with no file in the URL: USER, PASS and PWD alone
    }
    if (!handle || !options.ok()) {
        probe.detail = "libcurl could not be set up";
        return probe;
    }

    CURLcode result = curl_easy_perform(handle.get());
    if (result != CURLE_OK) {
        probe.login = varl::ConnectFailed(handle.get(), result) ? FtpStep::Blocked : FtpStep::Refused;
        probe.detail = Detail(result, exchange);
        return probe;
    }
    probe.login = FtpStep::Works;

    // A name listing in active mode: the unit's server connects to the control connection's address.
    options.Set(CURLOPT_NOBODY, 0L).Set(CURLOPT_DIRLISTONLY, 1L).Set(CURLOPT_FTPPORT, "-");
    result = curl_easy_perform(handle.get());
    probe.active = exchange.dataConnectionAccepted ? FtpStep::Works
                   : DataConnectionMissing(result) ? FtpStep::Blocked
                                                   : FtpStep::Refused;
    if (probe.active == FtpStep::Works) return probe;
    probe.detail = Detail(result, exchange);

    exchange.lastReply.clear();
    options.Set(CURLOPT_FTPPORT, static_cast<char*>(nullptr));
    result = curl_easy_perform(handle.get());
    probe.passive = result == CURLE_OK ? FtpStep::Works : DataConnectionMissing(result) ? FtpStep::Blocked : FtpStep::Refused;
    if (probe.passive != FtpStep::Works) probe.detail = Detail(result, exchange);
    return probe;
}

CheckResult CheckUnit(std::uint32_t serial, const DeviceRecord* unit, const FtpProbe& probe) {
    CheckResult result{"unit"};
    result.details["serial"] = FormatSerial(serial);
    if (unit == nullptr) {
        result.status = CheckStatus::Problem;
        result.findings.push_back("No unit with serial " + FormatSerial(serial) +
                                  " answered the discovery, so its FTP server was not tried.");
        return result;
    }
    const std::string where = FormatSerial(serial) + " at " + FormatAddress(unit->address);
    // The unit's server chose the reply's bytes: shown, they could move the cursor, and one that
    // is not UTF-8 would stop the JSON.
    const std::string detail = PrintableText(probe.detail);
    result.details["address"] = FormatAddress(unit->address);
    result.details["login"] = StepText(probe.login);
    result.details["active_mode"] = StepText(probe.active);
    result.details["passive_mode"] = StepText(probe.passive);
    result.status = CheckStatus::Problem;
    switch (probe.login) {
        case FtpStep::Works: break;
        case FtpStep::Blocked:
            result.findings.push_back(where + ": no FTP server answers on port 21 (" + detail + "), so uploads fail.");
            return result;
        default:
            result.findings.push_back(where + ": the FTP server refuses the units' login (" + detail + "), so uploads fail.");
            return result;
    }
    if (probe.active == FtpStep::Works) {
        result.status = CheckStatus::Ok;
        result.findings.push_back(where + ": the FTP login works, and the unit opens active-mode data connections to this PC.");
        return result;
    }
    const std::string active = probe.active == FtpStep::Blocked
                                   ? "the unit cannot open an active-mode data connection to this PC: a firewall keeps it out"
                                   : "the unit refuses active mode";
    if (probe.passive != FtpStep::Works) {
        result.findings.push_back(where + ": the FTP login works, but " + active +
                                  ", and passive mode fails too (" + detail + "), so uploads fail.");
        return result;
    }
    result.status = CheckStatus::Warning;
    result.findings.push_back(where + ": the FTP login works, but " + active +
                              ". Uploads still succeed: after a few seconds they fall back to passive mode, which works.");
    if (probe.active == FtpStep::Blocked) {
        result.findings.push_back("For active mode, attach the FTP connection-tracking helper to the connections to the units:");
        result.fix.push_back(kFtpHelperRule);
    }
    return result;
}

}  // namespace quorrel::cli
