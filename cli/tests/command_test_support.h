// quorrel's commands run in-process as a user runs them, through RunQuorrel, against the fake
// library playing a site of the lab's units: what a script sees (exit status, standard output and
// error) and what the commands asked of the library.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "address_probe.h"
#include "command_line.h"
#include "fake_varl/fake_library.h"
#include "fake_varl/lab_records.h"
#include "library_binding.h"

namespace quorrel::cli::testing {

using quorrel::testing::FakeLibrary;
using quorrel::testing::LabRecords;

// The address probe, scripted: what it answers, and what it was asked.
class ScriptedProbe final : public AddressProbe {
public:
    ProbeReport Probe(const std::vector<ProbedAddress>& addresses) const override {
        asked.push_back(addresses);
        return report;
    }

    ProbeReport report;
    mutable std::vector<std::vector<ProbedAddress>> asked;
};

struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
};

class CommandTest : public ::testing::Test {
protected:
    explicit CommandTest(const char* library = FAKE_VARL_FULL) : fake(library), binding(library) {
        binding.LoadProtocolLibrary();
        for (const DeviceRecord& record : LabRecords(6)) fake.State().site.push_back({record});
    }

    Outcome Run(std::vector<const char*> arguments, const std::string& input = "") {
        arguments.insert(arguments.begin(), "quorrel");
        std::istringstream in(input);
        std::ostringstream out, err;
        const int status = RunQuorrel(static_cast<int>(arguments.size()), arguments.data(), binding, probe,
                                      [] { return std::string("1.0"); }, Console{in, out, err, terminal});
        return {status, out.str(), err.str()};
    }

    // The same, with each argument that begins "TMP/" in the test's temporary folder.
    Outcome RunInTemporaryFolder(const std::vector<const char*>& arguments) {
        std::vector<std::string> texts(arguments.begin(), arguments.end());
        std::vector<const char*> pointers;
        for (std::string& text : texts) {
            if (text.rfind("TMP/", 0) == 0) text = ::testing::TempDir() + text.substr(4);
            pointers.push_back(text.c_str());
        }
        return Run(pointers);
    }

    fake_varl::SiteUnit& SiteUnit(std::uint32_t serial) {
        return *std::find_if(fake.State().site.begin(), fake.State().site.end(),
                             [serial](const fake_varl::SiteUnit& unit) { return unit.record.serial == serial; });
    }

    // Each discovery asked for: its capacity and time-out.
    std::vector<std::pair<std::uint32_t, std::uint32_t>> Discoveries() const {
        std::vector<std::pair<std::uint32_t, std::uint32_t>> discoveries;
        for (const auto& call : fake.CallsOf("VARL_Admin_Discover")) discoveries.emplace_back(call.capacity, call.timeoutMs);
        return discoveries;
    }

    // The records handed to set-configuration, in order.
    std::vector<DeviceRecord> SentRecords() const {
        return fake.CalledWith("VARL_Admin_SetConfig", &fake_varl::RecordedCall::record);
    }

    // The addresses uploaded to, in order.
    std::vector<std::uint32_t> Uploads() const {
        return fake.CalledWith("VARL_Admin_UploadFile", &fake_varl::RecordedCall::address);
    }

    FakeLibrary fake;
    LibraryBinding binding;
    ScriptedProbe probe;
    // Run's console stands for a terminal.
    bool terminal = false;
};

// One discovery with the default time-out, asked with room for a whole site.
inline const std::pair<std::uint32_t, std::uint32_t> kSiteDiscovery{4096, 2000};
// One round of confirmation at the default time-out.
inline const std::pair<std::uint32_t, std::uint32_t> kConfirmationRound{4096, 500};

}  // namespace quorrel::cli::testing
