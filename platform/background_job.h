#pragma once
// Long work off the user-interface thread. The work runs on a worker thread; what it reports
// arrives on the UI thread as queued signals, so a window keeps painting while it waits, and
// the order of what happens after each file is kept by the controller on the UI thread.
//
// What a window shows of the work is coalesced to what a screen can show: the worker may
// report tens of thousands of blocks a second, and setting a bar and a label for each of them
// costs the UI thread (and the X server) more than the work itself. The UI takes what was shown
// at most about 60 times a second, every value in the order it was reported except those that a
// later one of the same kind replaced before the UI took it; the last one is always shown before
// finished().

#include <QObject>
#include <QThread>
#include <atomic>
#include <chrono>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <vector>

namespace zr::platform {

class BackgroundJob : public QObject {
    Q_OBJECT
public:
    explicit BackgroundJob(QObject* parent = nullptr);
    ~BackgroundJob() override; // requests cancellation and waits for the worker

    // Starts work on a worker thread (never while one is running). Inside, call Report() to
    // send progress to the UI thread. finished() is emitted on the UI thread when work has
    // returned, after everything it showed.
    void Start(std::function<void(BackgroundJob& job)> work);
    bool IsRunning() const { return running_; }
    // Thread-safe. Emits progress() for every value, in order (connect with a receiver
    // (context) object living on the UI thread, so that the slot runs there), and shows the
    // value through progressShown(), coalesced.
    void Report(qint64 a, qint64 b);
    // Thread-safe. Runs fn on the UI thread to show a state of the work: fn replaces a call of
    // the same slot (0 or more; a slot of its own for each kind of state) that the UI has not taken
    // yet, and runs where it was made last among the others. Each fn sets the whole of what its
    // slot shows.
    void Show(int slot, std::function<void()> fn);
    // Thread-safe. Runs fn on the UI thread, after everything reported and shown before it; it
    // is never replaced, and goes out at once.
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

    // How often at most the UI takes what the worker shows.
    static constexpr std::chrono::milliseconds kShowInterval{16};

signals:
    void progress(qint64 a, qint64 b);
    // On the UI thread: the latest progress value at the time the UI took it.
    void progressShown(qint64 a, qint64 b);
    // On the UI thread, after each batch of what the worker showed has run.
    void shown();
    void finished();
    // Internal, from the worker to the UI thread: batches are ready; a timer is to be set. They
    // carry nothing: what they concern is handed over under mutex_, which a thread checker sees
    // (the toolkit's own event queue is invisible to it).
    void batchesReady();
    void timerWanted();

private:
    struct Item {
        int slot; // kOrdered for Post
        std::function<void()> fn;
    };
    static constexpr int kOrdered = -2;
    static constexpr int kProgressSlot = -1;
    void Queue(int slot, std::function<void()> fn);
    // Hands the pending items to the UI thread as one batch; mutex_ held.
    void FlushLocked(std::chrono::steady_clock::time_point now);
    // On the UI thread: runs the oldest batch handed over.
    void Deliver();
    // On the UI thread: flushes what is pending once the interval since the last batch is over.
    void ArmTimer();

    QThread* thread_ = nullptr;
    std::atomic<bool> cancel_{false};
    bool running_ = false;

    std::mutex mutex_;
    std::vector<Item> pending_;
    std::deque<std::vector<Item>> ready_; // batches handed over, not yet run
    std::chrono::steady_clock::time_point lastFlush_;
    std::chrono::milliseconds timerWait_{0};
    bool timerArmed_ = false;
};

} // namespace zr::platform
