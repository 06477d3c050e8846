#include "background_job.h"

#include <QMetaObject>

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

void BackgroundJob::RunOnUiThread(const std::function<void()>& fn) {
    QMetaObject::invokeMethod(this, fn, Qt::BlockingQueuedConnection);
}

void BackgroundJob::Wait() {
    if (thread_ && thread_->isRunning())
        thread_->wait();
}

} // namespace zr::platform
