#include "library_call_runner.h"

#include <QByteArray>
#include <QEventLoop>
#include <QtGlobal>

#include <exception>
#include <future>

namespace parbex {

LibraryCallRunner::LibraryCallRunner() : m_callContext(new QObject) {
    m_thread.setObjectName(QStringLiteral("library calls"));
    m_callContext->moveToThread(&m_thread);
    connect(&m_thread, &QThread::finished, m_callContext, &QObject::deleteLater);
    m_thread.start();
}

LibraryCallRunner::~LibraryCallRunner() {
    m_thread.quit();
    m_thread.wait();
}

void LibraryCallRunner::Run(const std::function<void()>& call) {
    ApplyLibraryVariables();
    m_busy = true;
    emit busyChanged(true);

    QEventLoop loop;
    std::promise<void> ended;
    std::future<void> endedFuture = ended.get_future();
    std::exception_ptr thrown;
    QMetaObject::invokeMethod(m_callContext, [&] {
        try {
            call();
        } catch (...) {
            thrown = std::current_exception();
        }
        // The quit is posted before the end is told: once told, the window's thread may leave
        // this function and destroy the loop.
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
        ended.set_value();
    });
    loop.exec();
    // An application quitting ends every event loop at once; the call still has to end first.
    endedFuture.wait();

    m_busy = false;
    emit busyChanged(false);
    if (thrown) std::rethrow_exception(thrown);
}

void LibraryCallRunner::OnWindowThread(const std::function<void()>& step) {
    if (QThread::currentThread() == thread()) {
        step();
        return;
    }
    QMetaObject::invokeMethod(this, step, Qt::BlockingQueuedConnection);
}

void LibraryCallRunner::SetLibraryVariable(const std::string& name, std::optional<std::string> value) {
    m_pendingVariables[name] = std::move(value);
}

void LibraryCallRunner::ApplyLibraryVariables() {
    // Through Qt, whose own threads read the environment under the lock its setters take.
    for (const auto& [name, value] : m_pendingVariables) {
        if (value) {
            qputenv(name.c_str(), QByteArray::fromStdString(*value));
        } else {
            qunsetenv(name.c_str());
        }
    }
    m_pendingVariables.clear();
}

}  // namespace parbex
