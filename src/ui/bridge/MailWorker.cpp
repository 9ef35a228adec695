#include "ui/bridge/MailWorker.h"

#include "app/MainCommands.h"
#include "app/Startup.h"
#include "message/MailMessage.h"
#include "transfer/CleanUpJob.h"
#include "transfer/DeliverJob.h"
#include "transfer/ReceiveJob.h"
#include "transfer/SessionSetup.h"
#include "ui/bridge/MailThread.h"
#include "ui/bridge/UiCall.h"
#include "ui/main/MainContext.h"

namespace corvina {

namespace {

// The message number of Send Now, for CommandFinished.
constexpr int kMsgSendNow = 1002;

}  // namespace

MailWorker::MailWorker(MainContext& context, MailThread& mail, TransferHost& host,
                       UserPrompt& prompt)
    : context_(context), mail_(mail), session_(context.transfer, host, prompt) {}

MailWorker::~MailWorker() = default;

void MailWorker::Configure() {
    CallOnUi(&mail_, [this] { ConfigureSession(session_, context_.app); });
}

bool MailWorker::Receive(bool all) {
    // The jobs take the busy count themselves; the token lets them in
    // beside the command's own count.
    context_.transfer.commandToken = true;
    const ReceiveOutcome outcome = ReceiveJob(session_).Run(all);
    return outcome.ok && !outcome.refused;
}

bool MailWorker::Deliver() {
    context_.transfer.commandToken = true;
    return DeliverJob(session_).Run();
}

void MailWorker::Run(int command) {
    bool ok = false;
    {
        BusyGuard busy(context_.transfer);
        if (busy.Entered()) {
            Configure();
            switch (command) {
                case kCmdReceiveNew:
                    ok = Receive(false);
                    break;
                case kCmdReceiveAll:
                    ok = Receive(true);
                    break;
                case kCmdDeliver:
                    ok = Deliver();
                    break;
                case kCmdReceive:
                    ok = Deliver() && Receive(false);
                    break;
                case kCmdCleanUpServer:
                    context_.transfer.commandToken = true;
                    ok = CleanUpJob(session_).Run();
                    break;
                default:
                    break;
            }
            context_.transfer.commandToken = false;
        }
    }
    Finished(command, ok);
}

void MailWorker::SendNow(int accountIndex, std::unique_ptr<MailMessage> message) {
    bool ok = false;
    {
        // Send Now is never refused here: it waited its turn behind the
        // running command, and a refusal would drop the message.
        context_.transfer.commandToken = true;
        BusyGuard busy(context_.transfer);
        Configure();
        context_.transfer.commandToken = true;
        ok = DeliverJob(session_).SendOne(accountIndex, std::move(message)) == 0;
        context_.transfer.commandToken = false;
    }
    Finished(kMsgSendNow, ok);
}

bool MailWorker::OpenRemote() {
    auto busy = std::make_unique<BusyGuard>(context_.transfer);
    if (!busy->Entered()) {
        return false;
    }
    remoteBusy_ = std::move(busy);
    Configure();
    remote_ = std::make_unique<RemoteMailbox>(session_);
    return true;
}

bool MailWorker::ListRemote(bool deliverOnReceive, std::vector<RemoteRow>& rows) {
    if (!remote_) {
        return false;
    }
    const bool ok = remote_->List(deliverOnReceive);
    rows = remote_->Rows();
    return ok;
}

int MailWorker::ExecuteRemote(const std::vector<char>& marks) {
    if (!remote_) {
        return -1;
    }
    std::vector<RemoteRow>& rows = remote_->Rows();
    for (size_t i = 0; i < rows.size(); ++i) {
        rows[i].mark = i < marks.size() ? marks[i] : 0;
    }
    return remote_->Execute();
}

void MailWorker::CloseRemote() {
    if (remote_) {
        remote_->Close();
    }
    remote_.reset();
    const bool wasOpen = remoteBusy_ != nullptr;
    remoteBusy_.reset();
    if (wasOpen) {
        Finished(kCmdRemoteMailbox, true);
    }
}

void MailWorker::Finished(int command, bool ok) {
    PostToUi(&mail_, [mail = &mail_, command, ok] { emit mail->CommandFinished(command, ok); });
}

}  // namespace corvina
