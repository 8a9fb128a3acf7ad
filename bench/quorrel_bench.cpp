// quorrel's wall time, as a script sees it, against one discovery's counted time measured in the
// same run: `quorrel discover` with 6 and with 40 units, and `quorrel apply` of 40 rows whose units
// take their new values at once (one discovery, forty messages, one round of confirmation). The
// counted time is the trace's count of 20 ms waits in a `quorrel discover --verbose`: about
// 1.36 s at the default time-out. Runs inside the lab: bench/run-quorrel-bench.
//   quorrel_bench QUORREL [--runs N]

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

#include "lab_client.h"
#include "lab_units.h"


namespace {

struct Exit {
    int status = -1;
    double wallMs = 0;
    std::string out;
    std::string err;
};

// Runs quorrel with the arguments, its output to files in the lab folder.
Exit RunQuorrel(const std::string& program, std::vector<std::string> arguments) {
    const std::string out = sim::lab::LabDirectory() + "/bench.out", err = sim::lab::LabDirectory() + "/bench.err";
    arguments.insert(arguments.begin(), program);
    Exit exit;
    const auto started = std::chrono::steady_clock::now();
    exit.status = sim::lab::RunProgram(std::move(arguments), "", out, err);
    exit.wallMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started).count();
    exit.out = sim::lab::ReadFile(out);
    exit.err = sim::lab::ReadFile(err);
    return exit;
}

void LoadUnits(int count) {
    if (!sim::lab::LoadUnitTable(sim::lab::LabUnitTable(count), count)) {
        std::fprintf(stderr, "the simulator did not load %d units\n", count);
        std::exit(1);
    }
}

void Expect(bool done, const char* what, const Exit& exit) {
    if (done) return;
    std::fprintf(stderr, "%s failed (status %d):\n%s%s", what, exit.status, exit.out.c_str(), exit.err.c_str());
    std::exit(1);
}

// One discovery's counted time, from the trace's last line: "... in A attempts and W waits of 20 ms".
double CountedMs(const std::string& program) {
    const Exit traced = RunQuorrel(program, {"discover", "--verbose"});
    std::smatch waits;
    const bool counted = std::regex_search(traced.err, waits, std::regex("and ([0-9]+) waits of 20 ms"));
    Expect(traced.status == 0 && counted, "the traced discovery", traced);
    return 20.0 * std::stod(waits[1].str());
}

// Every lab unit of count moved to mask 255.255.255.0 and gateway 10.77.0.254, as a CSV file.
std::string ApplyFile(int count) {
    const std::string path = sim::lab::LabDirectory() + "/bench-apply.csv";
    std::ofstream file(path);
    file << "serial,dhcp,address,mask,gateway\n";
    for (const sim::SimulatedUnit& unit : sim::LabUnits(count)) {
        char serial[8];
        std::snprintf(serial, sizeof serial, "%05X", unit.serial);
        file << serial << ",0," << sim::DottedQuad(unit.address) << ",255.255.255.0,10.77.0.254\n";
    }
    return path;
}

struct Case {
    const char* name;
    int units;
    std::vector<double> walls;
    std::vector<double> counted;
};

void Report(const Case& measured) {
    std::vector<double> walls = measured.walls, ratios;
    for (std::size_t at = 0; at < walls.size(); ++at) ratios.push_back(walls[at] / measured.counted[at]);
    std::sort(walls.begin(), walls.end());
    std::sort(ratios.begin(), ratios.end());
    std::printf("| `%s` | %d | %.0f ms | %.1f (%.1f) ms | %.3f (%.3f) |\n", measured.name, measured.units,
                *std::max_element(measured.counted.begin(), measured.counted.end()), walls[walls.size() / 2],
                walls.back(), ratios[ratios.size() / 2], ratios.back());
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || sim::lab::LabDirectory().empty()) {
        std::fprintf(stderr, "usage: quorrel_bench QUORREL [--runs N], inside scripts/lab (bench/run-quorrel-bench)\n");
        return 2;
    }
    const std::string program = argv[1];
    const int runs = argc > 3 && std::string(argv[2]) == "--runs" ? std::max(1, std::atoi(argv[3])) : 5;
    Case discover6{"quorrel discover", 6, {}, {}}, discover40{"quorrel discover", 40, {}, {}},
        apply40{"quorrel apply", 40, {}, {}};
    for (int run = 0; run < runs; ++run) {
        for (Case* discover : {&discover6, &discover40}) {
            LoadUnits(discover->units);
            discover->counted.push_back(CountedMs(program));
            const Exit listed = RunQuorrel(program, {"discover"});
            Expect(listed.status == 0 && std::count(listed.out.begin(), listed.out.end(), '\n') == discover->units + 1,
                   "discover", listed);
            discover->walls.push_back(listed.wallMs);
        }
        apply40.counted.push_back(CountedMs(program));
        const Exit applied = RunQuorrel(program, {"apply", ApplyFile(40)});
        Expect(applied.status == 0 && std::regex_search(applied.out, std::regex("^(.* confirmed: .*\n){40}$")),
               "apply", applied);
        apply40.walls.push_back(applied.wallMs);
    }
    std::printf("| Command | Units | One discovery counted | Wall time, median (max) | Ratio, median (max) |\n");
    std::printf("|---|---:|---:|---:|---:|\n");
    for (const Case* measured : {&discover6, &discover40, &apply40}) Report(*measured);
    return 0;
}
