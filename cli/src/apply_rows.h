// The rows of an apply file: the CSV that discover writes, each row the addressing one unit is to
// take. Every row is checked before anything is sent.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "addressing.h"
#include "csv.h"

namespace quorrel::cli {

struct ApplyRow {
    int line = 0;
    std::uint32_t serial = 0;
    Addressing wanted;
};

struct ApplyRows {
    std::vector<ApplyRow> rows;
    // Lines whose gateway lies outside their subnet: said, then applied as written.
    std::vector<LineError> warnings;
    // The first problem; no rows then.
    std::optional<LineError> error;
};

// The first record is the header: the columns serial, dhcp, address, mask and gateway, each once,
// in any order, and optionally chip, which is ignored. Names are matched without regard to case or
// surrounding blanks, and so are the values' surrounding blanks. dhcp is 0 (the three addresses
// are then required) or 1 (they may be empty). A serial may appear only once.
ApplyRows ReadApplyRows(std::string_view text);

}  // namespace quorrel::cli
