#include "ui/bridge/MailThread.h"

#include <QCoreApplication>
#include <chrono>

#include "message/MailMessage.h"
#include "ui/bridge/CrossThreadPrompt.h"
#include "ui/bridge/MailWorker.h"
#include "ui/bridge/UiCall.h"
#include "ui/bridge/WindowTransferHost.h"
#include "ui/main/MainContext.h"

namespace corvina {

namespace {

// How long the window waits for a running transfer to unwind after the
// abort before it leaves the thread behind; a job ends at its next read or
// send, which the abort wakes at once.
constexpr std::chrono::seconds kShutdownWait{30};

}  // namespace

MailThread::MailThread(MainContext& context, QObject* parent) : QObject(parent), context_(context) {
    host_ = std::make_unique<WindowTransferHost>(context_, *this);
    prompt_ = std::make_unique<CrossThreadPrompt>(*this, context_.prompt);
    thread_.setObjectName("Mail");
    worker_ = new MailWorker(context_, *this, *host_, *prompt_);
    worker_->moveToThread(&thread_);
    connect(&thread_, &QThread::finished, worker_, &QObject::deleteLater);
    thread_.start(QThread::HighPriority);
}

MailThread::~MailThread() {
    // From here on the UI thread stores nothing and asks nothing: the
    // window around it is going away.
    host_->Close();
    prompt_->Close();
    // The job may be waiting for the UI thread; pumping lets its blocking
    // call return so it can see the abort.
    AbortTransfers(context_.transfer, kShutdownWait,
                   [] { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); });
    thread_.quit();
    while (!thread_.wait(10)) {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }
    context_.transfer.abort.Clear();
}

void MailThread::Post(int command) {
    QMetaObject::invokeMethod(
        worker_, [w = worker_, command] { w->Run(command); }, Qt::QueuedConnection);
}

void MailThread::PostSendNow(int accountIndex, std::unique_ptr<MailMessage> message) {
    std::shared_ptr<MailMessage> held(std::move(message));
    QMetaObject::invokeMethod(
        worker_,
        [w = worker_, accountIndex, held]() mutable {
            w->SendNow(accountIndex, std::make_unique<MailMessage>(std::move(*held)));
        },
        Qt::QueuedConnection);
}

void MailThread::Abort() {
    context_.transfer.abort.Raise();
}

void MailThread::OpenRemoteMailbox(std::function<void(bool)> done) {
    QMetaObject::invokeMethod(
        worker_,
        [this, done = std::move(done)] {
            const bool opened = worker_->OpenRemote();
            PostToUi(this, [done, opened] { done(opened); });
        },
        Qt::QueuedConnection);
}

void MailThread::ListRemoteMailbox(bool deliverOnReceive,
                                   std::function<void(std::vector<RemoteRow>, bool)> done) {
    QMetaObject::invokeMethod(
        worker_,
        [this, deliverOnReceive, done = std::move(done)] {
            std::vector<RemoteRow> rows;
            const bool ok = worker_->ListRemote(deliverOnReceive, rows);
            PostToUi(this,
                     [done, rows = std::move(rows), ok]() mutable { done(std::move(rows), ok); });
        },
        Qt::QueuedConnection);
}

void MailThread::ExecuteRemoteMailbox(std::vector<char> marks, std::function<void(int)> done) {
    QMetaObject::invokeMethod(
        worker_,
        [this, marks = std::move(marks), done = std::move(done)] {
            const int stored = worker_->ExecuteRemote(marks);
            PostToUi(this, [done, stored] { done(stored); });
        },
        Qt::QueuedConnection);
}

void MailThread::CloseRemoteMailbox(std::function<void()> done) {
    QMetaObject::invokeMethod(
        worker_,
        [this, done = std::move(done)] {
            worker_->CloseRemote();
            PostToUi(this, [done] { done(); });
        },
        Qt::QueuedConnection);
}

}  // namespace corvina
