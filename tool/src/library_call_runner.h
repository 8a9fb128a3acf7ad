// Library calls off the window's thread. A discovery blocks for its whole time-out and an upload
// for its whole transfer; on the window's thread that freezes the window, and a desktop offers to
// kill a window that has not answered for a few seconds. The runner hands each call to a thread
// of its own, one call at a time, and turns the window's event loop until the call has ended: the
// window repaints and answers its window manager, while the caller's code reads on as if the call
// had blocked.
#pragma once

#include <QObject>
#include <QThread>

#include <functional>
#include <map>
#include <optional>
#include <string>

namespace parbex {

class LibraryCallRunner : public QObject {
    Q_OBJECT

public:
    LibraryCallRunner();
    ~LibraryCallRunner() override;
    LibraryCallRunner(const LibraryCallRunner&) = delete;
    LibraryCallRunner& operator=(const LibraryCallRunner&) = delete;

    // Runs call on the library's thread and returns once it has ended, the event loop turning
    // meanwhile. call holds everything from the export's look-up to the last-error fetch, which
    // must be on the thread of the failed call: the library keeps its last-error text per thread.
    // One call at a time: callers disable their commands while Busy(). An exception thrown by
    // call is thrown again here.
    void Run(const std::function<void()>& call);

    // Runs step on the window's thread and returns once it has: for what a call's hooks show
    // (the wait cursor). Straight away when called on the window's thread.
    void OnWindowThread(const std::function<void()>& step);

    bool Busy() const { return m_busy; }

    // A variable of the environment, which the library reads at the start of each call. It is set
    // on the window's thread just before the next call is handed over, never while one runs: the
    // library's thread may be reading the environment then. No value unsets it.
    void SetLibraryVariable(const std::string& name, std::optional<std::string> value);

signals:
    void busyChanged(bool busy);

private:
    void ApplyLibraryVariables();

    QThread m_thread;
    // Lives on m_thread; the calls are queued to it.
    QObject* m_callContext;
    bool m_busy = false;
    std::map<std::string, std::optional<std::string>> m_pendingVariables;
};

}  // namespace parbex
