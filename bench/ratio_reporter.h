// The console report plus one closing line that compares two benchmarks of the same run, from
// their medians when repetitions are asked for, else from their single runs.
#pragma once

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

class RatioReporter : public benchmark::ConsoleReporter {
public:
    // The figure a run is compared by; nothing when the run has none.
    using Figure = std::function<std::optional<double>(const Run&)>;
    // Prints the closing line from the two benchmarks' figures.
    using Closing = std::function<void(double numerator, double denominator)>;

    // A reporter of one's own does not follow --benchmark_color; colour only on a terminal.
    RatioReporter(std::string numerator, std::string denominator, Figure figure, Closing closing)
        : ConsoleReporter(isatty(STDOUT_FILENO) ? OO_Defaults : OO_Tabular),
          numerator_(std::move(numerator)),
          denominator_(std::move(denominator)),
          figure_(std::move(figure)),
          closing_(std::move(closing)) {}

    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            const bool single = run.run_type == Run::RT_Iteration && run.repetitions <= 1;
            if (run.error_occurred || !(single || run.aggregate_name == "median")) continue;
            if (const std::optional<double> value = figure_(run)) figures_[run.run_name.function_name] = *value;
        }
    }

    void Finalize() override {
        ConsoleReporter::Finalize();
        const auto numerator = figures_.find(numerator_);
        const auto denominator = figures_.find(denominator_);
        if (numerator == figures_.end() || denominator == figures_.end() || denominator->second <= 0) return;
        closing_(numerator->second, denominator->second);
    }

private:
    std::string numerator_;
    std::string denominator_;
    Figure figure_;
    Closing closing_;
    std::map<std::string, double> figures_;
};
