#include "background_job.h"

#include <QTimer>
#include <condition_variable>
#include <memory>

namespace zr::platform {

using Clock = std::chrono::steady_clock;

BackgroundJob::BackgroundJob(QObject* parent) : QObject(parent) {
    connect(this, &BackgroundJob::batchesReady, this, &BackgroundJob::Deliver,
            Qt::QueuedConnection);
    connect(this, &BackgroundJob::timerWanted, this, &BackgroundJob::ArmTimer,
            Qt::QueuedConnection);
}

BackgroundJob::~BackgroundJob() {
    cancel_ = true;
    Wait();
    delete thread_;
}

void BackgroundJob::Start(std::function<void(BackgroundJob& job)> work) {
    Wait();
    cancel_ = false;
    running_ = true;
    {
        const std::lock_guard lock(mutex_);
        // The first thing a job shows goes out at once.
        lastFlush_ = Clock::now() - kShowInterval;
    }
    QThread* t = QThread::create([this, work = std::move(work)] {
        work(*this);
        // What the work showed last reaches the window before finished().
        const std::lock_guard lock(mutex_);
        if (!pending_.empty())
            FlushLocked(Clock::now());
    });
    thread_ = t;
    connect(t, &QThread::finished, this, [this, t] {
        t->deleteLater();
        if (thread_ != t)
            return;
        thread_ = nullptr;
        running_ = false;
        emit finished();
    });
    t->start();
}

void BackgroundJob::Report(qint64 a, qint64 b) {
    emit progress(a, b);
    Queue(kProgressSlot, [this, a, b] { emit progressShown(a, b); });
}

void BackgroundJob::Show(int slot, std::function<void()> fn) {
    Queue(slot, std::move(fn));
}

void BackgroundJob::Post(std::function<void()> fn) {
    Queue(kOrdered, std::move(fn));
}

void BackgroundJob::Queue(int slot, std::function<void()> fn) {
    const std::lock_guard lock(mutex_);
    // Nothing ordered waits here (it goes out at once), so any pending item of the slot is
    // one that this one replaces.
    for (auto it = pending_.begin(); it != pending_.end(); ++it) {
        if (it->slot == slot) {
            pending_.erase(it);
            break;
        }
    }
    pending_.push_back({slot, std::move(fn)});
    const Clock::time_point now = Clock::now();
    const Clock::duration since = now - lastFlush_;
    if (slot == kOrdered || since >= kShowInterval)
        return FlushLocked(now);
    if (timerArmed_)
        return;
    // The rest goes out when the interval is over, even if the worker shows nothing more.
    timerArmed_ = true;
    timerWait_ = std::chrono::ceil<std::chrono::milliseconds>(kShowInterval - since);
    emit timerWanted();
}

void BackgroundJob::ArmTimer() {
    std::chrono::milliseconds wait{0};
    {
        const std::lock_guard lock(mutex_);
        wait = timerWait_;
    }
    QTimer::singleShot(wait, this, [this] {
        const std::lock_guard lock(mutex_);
        timerArmed_ = false;
        if (!pending_.empty())
            FlushLocked(Clock::now());
    });
}

void BackgroundJob::FlushLocked(Clock::time_point now) {
    // Queued while mutex_ is held: the batches reach the UI thread in the order they were taken.
    ready_.push_back(std::move(pending_));
    pending_.clear();
    lastFlush_ = now;
    emit batchesReady();
}

void BackgroundJob::Deliver() {
    // One batch per event, as each was announced: the window is painted between them.
    std::vector<Item> batch;
    {
        const std::lock_guard lock(mutex_);
        if (ready_.empty())
            return;
        batch = std::move(ready_.front());
        ready_.pop_front();
    }
    for (Item& item : batch)
        item.fn();
    emit shown();
}

std::optional<bool> BackgroundJob::Ask(std::function<bool()> question) {
    struct Answer {
        std::mutex mutex;
        std::condition_variable given;
        std::optional<bool> value;
    };
    auto answer = std::make_shared<Answer>();
    Post([answer, question = std::move(question)] {
        const bool value = question();
        const std::lock_guard lock(answer->mutex);
        answer->value = value;
        answer->given.notify_one();
    });
    std::unique_lock lock(answer->mutex);
    while (!answer->value && !cancel_)
        answer->given.wait_for(lock, std::chrono::milliseconds(20));
    return answer->value;
}

void BackgroundJob::Wait() {
    if (thread_ && thread_->isRunning())
        thread_->wait();
}

} // namespace zr::platform
