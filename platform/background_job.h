#pragma once
// Long work off the user-interface thread. The work runs on a worker thread; what it reports
// arrives on the UI thread as queued signals, so a window keeps painting while it waits, and
// the order of what happens after each file is kept by the controller on the UI thread.

#include <QObject>
#include <QThread>
#include <atomic>
#include <functional>
#include <optional>

namespace zr::platform {

class BackgroundJob : public QObject {
    Q_OBJECT
public:
    explicit BackgroundJob(QObject* parent = nullptr);
    ~BackgroundJob() override; // requests cancellation and waits for the worker

    // Starts work on a worker thread (never while one is running). Inside, call Report() to
    // send progress to the UI thread. finished() is emitted on the UI thread when work has
    // returned.
    void Start(std::function<void(BackgroundJob& job)> work);
    bool IsRunning() const { return running_; }
    // Thread-safe. Connect to progress() with a receiver (context) object living on the UI
    // thread, so that the slot runs there.
    void Report(qint64 a, qint64 b);
    // Thread-safe. Runs fn on the UI thread, after everything reported before it.
    void Post(std::function<void()> fn);
    // From the worker: asks question on the UI thread (after everything reported before it) and
    // waits for the answer; nullopt when cancellation is requested first, so that a window
    // waiting for the worker to end never waits for its own answer.
    std::optional<bool> Ask(std::function<bool()> question);

    void RequestCancel() { cancel_ = true; }
    const std::atomic<bool>* CancelFlag() const { return &cancel_; }
    bool CancelRequested() const { return cancel_; }
    // Blocks until the worker has returned (used when a window closes during a run).
    void Wait();

signals:
    void progress(qint64 a, qint64 b);
    void finished();

private:
    QThread* thread_ = nullptr;
    std::atomic<bool> cancel_{false};
    bool running_ = false;
};

} // namespace zr::platform
