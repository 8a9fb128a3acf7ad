// quorrel doctor: checks, in order, what stands between this PC and its units (the interfaces,
// the host firewall, a live discovery, the reverse-path filter and, with --unit, a unit's FTP
// server), and says how to fix each problem.
#pragma once

#include <cstdint>
#include <optional>

#include "command.h"

namespace quorrel::cli {

struct DoctorOptions {
    bool json = false;
    std::optional<std::uint32_t> unit;
};

void DefineDoctorCommand(CLI::App& program, Invocation& invocation);

int RunDoctor(const LibraryExports& library, const CommonOptions& common, const DoctorOptions& options,
              const Console& console);

}  // namespace quorrel::cli
