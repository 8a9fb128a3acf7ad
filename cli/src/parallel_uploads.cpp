#include "parallel_uploads.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <utility>

namespace quorrel::cli {
namespace {

using Clock = std::chrono::steady_clock;

// What a thread hands over to the caller's thread.
struct Report {
    std::size_t unit = 0;
    UnitUpload upload;
    // Set when the unit waits for another try.
    std::optional<CallFailure> retried;
};

class UploadRun {
public:
    UploadRun(std::size_t count, const UploadSettings& settings,
              const std::function<std::optional<CallFailure>(std::size_t)>& upload)
        : m_settings(settings), m_upload(upload), m_ends(count), m_firstStarts(count) {
        for (std::size_t unit = 0; unit < count; ++unit) m_waiting.push_back(unit);
    }

    std::vector<UnitUpload> Run(const UploadReports& reports) {
        const std::size_t threads = std::min(m_settings.jobs, m_ends.size());
        m_threadsLeft = threads;
        if (reports.tick) reports.tick();
        std::vector<std::jthread> workers;
        for (std::size_t i = 0; i < threads; ++i) workers.emplace_back([this] { Serve(); });

        std::unique_lock lock(m_mutex);
        for (;;) {
            std::vector<Report> reported = std::exchange(m_reports, {});
            const bool over = m_threadsLeft == 0;
            lock.unlock();
            for (const Report& report : reported) {
                if (report.retried && reports.retrying) {
                    reports.retrying(report.unit, *report.retried, report.upload.tries + 1);
                } else if (!report.retried && reports.finished) {
                    reports.finished(report.unit, report.upload);
                }
            }
            if (over) break;
            if (reports.tick) reports.tick();
            lock.lock();
            const auto reportOrEnd = [this] { return !m_reports.empty() || m_threadsLeft == 0; };
            if (m_settings.tickEvery.count() > 0) {
                m_changed.wait_for(lock, m_settings.tickEvery, reportOrEnd);
            } else {
                m_changed.wait(lock, reportOrEnd);
            }
        }
        workers.clear();
        return m_ends;
    }

private:
    // One thread: takes the next waiting unit until none waits or the run is stopped.
    void Serve() {
        std::unique_lock lock(m_mutex);
        while (!m_stopped && !m_waiting.empty()) {
            const std::size_t unit = m_waiting.front();
            m_waiting.pop_front();
            UnitUpload& end = m_ends[unit];
            if (end.tries++ == 0) m_firstStarts[unit] = Clock::now();
            lock.unlock();
            std::optional<CallFailure> failure = m_upload(unit);
            lock.lock();
            end.elapsed = Clock::now() - m_firstStarts[unit];
            if (failure && failure->kind == FailureKind::NetworkOrUnit && end.tries <= m_settings.retries &&
                !m_stopped) {
                m_waiting.push_back(unit);
                m_reports.push_back({unit, end, std::move(failure)});
            } else {
                if (failure && FailsEveryUnit(*failure)) m_stopped = true;
                end.failure = std::move(failure);
                m_reports.push_back({unit, end, std::nullopt});
            }
            m_changed.notify_all();
        }
        --m_threadsLeft;
        m_changed.notify_all();
    }

    const UploadSettings& m_settings;
    const std::function<std::optional<CallFailure>(std::size_t)>& m_upload;

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<std::size_t> m_waiting;
    std::vector<UnitUpload> m_ends;
    std::vector<Clock::time_point> m_firstStarts;
    std::vector<Report> m_reports;
    std::size_t m_threadsLeft = 0;
    bool m_stopped = false;
};

}  // namespace

bool FailsEveryUnit(const CallFailure& failure) {
    return failure.kind == FailureKind::ArgumentRefused || failure.kind == FailureKind::ExportMissing;
}

std::vector<UnitUpload> UploadToUnits(std::size_t count, const UploadSettings& settings,
                                      const std::function<std::optional<CallFailure>(std::size_t unit)>& upload,
                                      const UploadReports& reports) {
    return UploadRun(count, settings, upload).Run(reports);
}

}  // namespace quorrel::cli
