// Upload throughput of VARL_Admin_UploadFile against the curl command-line client with the same
// settings (active mode, TYPE A announced but the bytes sent unconverted, no CWD), both storing
// the same file on the same lab unit in one run. Prints the ratio of their median throughputs.
// Runs inside the lab: bench/run-upload-bench.
#include <benchmark/benchmark.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "ratio_reporter.h"
#include "varl.h"

extern char** environ;

namespace {

constexpr uint32_t kUnitAddress = 0x0A4D000A;  // unit 0 of the lab, 10.77.0.10
constexpr const char* kUnitUrl = "ftp://10.77.0.10:21/BENCH.BIN";
constexpr std::int64_t kFileBytes = std::int64_t{64} << 20;

std::string g_localPath;

void MakeLocalFile() {
    const char* labDir = std::getenv("LAB_DIR");
    if (labDir == nullptr) {
        std::fprintf(stderr, "LAB_DIR is not set: run this inside scripts/lab (bench/run-upload-bench)\n");
        std::exit(2);
    }
    g_localPath = std::string(labDir) + "/upload-bench.bin";
    std::vector<std::uint32_t> words(kFileBytes / sizeof(std::uint32_t));
    std::mt19937 random(12345);
    for (auto& word : words) word = random();
    std::ofstream(g_localPath, std::ios::binary)
        .write(reinterpret_cast<const char*>(words.data()), static_cast<std::streamsize>(kFileBytes));
}

void UploadWithLibrary(benchmark::State& state) {
    for (auto _ : state) {
        if (!VARL_Admin_UploadFile(kUnitAddress, g_localPath.c_str(), "", "BENCH.BIN", 0)) {
            char text[500];
            VARL_Error_LastErr(text);
            state.SkipWithError(text);
            break;
        }
    }
    state.SetBytesProcessed(state.iterations() * kFileBytes);
}

// "+TYPE A" is sent right before STOR, after curl's own TYPE I, just as the library does it.
void UploadWithCurlClient(benchmark::State& state) {
    std::vector<std::string> args = {"curl",          "--disable",   "--silent",   "--show-error",
                                     "--noproxy",     "*",           "--ftp-port", "-",
                                     "--ftp-method",  "nocwd",       "--quote",    "+TYPE A",
                                     "--user",        "lqm:lqm",     "--upload-file", g_localPath,
                                     kUnitUrl};
    std::vector<char*> argv;
    for (auto& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);

    for (auto _ : state) {
        pid_t pid = 0;
        int status = 0;
        if (posix_spawn(&pid, "/usr/bin/curl", nullptr, nullptr, argv.data(), environ) != 0 ||
            waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            state.SkipWithError("the curl client failed");
            break;
        }
    }
    state.SetBytesProcessed(state.iterations() * kFileBytes);
}

BENCHMARK(UploadWithLibrary)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(UploadWithCurlClient)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    MakeLocalFile();
    RatioReporter reporter(
        "UploadWithLibrary", "UploadWithCurlClient",
        [](const RatioReporter::Run& run) -> std::optional<double> {
            const auto rate = run.counters.find("bytes_per_second");
            if (rate == run.counters.end()) return std::nullopt;
            return rate->second.value;
        },
        [](double library, double client) {
            std::printf("library %.1f MiB/s, curl client %.1f MiB/s: ratio %.2f\n", library / (1 << 20),
                        client / (1 << 20), library / client);
        });
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    std::filesystem::remove(g_localPath);
    return 0;
}
