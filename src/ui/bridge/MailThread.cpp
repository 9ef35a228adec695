#include "ui/bridge/MailThread.h"

#include "message/MailMessage.h"
#include "ui/main/MainContext.h"

namespace corvina {

MailThread::MailThread(MainContext& context, QObject* parent)
    : QObject(parent), context_(context) {}

MailThread::~MailThread() = default;

void MailThread::Post(int) {}

void MailThread::PostSendNow(int, std::unique_ptr<MailMessage>) {}

void MailThread::Abort() {}

}  // namespace corvina
