#include "background_job.h"

#include <QMetaObject>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>

namespace zr::platform {

BackgroundJob::BackgroundJob(QObject* parent) : QObject(parent) {}

BackgroundJob::~BackgroundJob() {
    cancel_ = true;
    Wait();
    delete thread_;
}

void BackgroundJob::Start(std::function<void(BackgroundJob& job)> work) {
    Wait();
    cancel_ = false;
    running_ = true;
    QThread* t = QThread::create([this, work = std::move(work)] { work(*this); });
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

void BackgroundJob::Report(qint64 a, qint64 b) { emit progress(a, b); }

void BackgroundJob::Post(std::function<void()> fn) {
    QMetaObject::invokeMethod(this, std::move(fn), Qt::QueuedConnection);
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
