#pragma once
// The object that lives on the mail thread and runs the transfer jobs with
// the thread's one MailSession. The MailThread hands it commands as queued
// calls; it answers through the host (blocking calls into the UI thread)
// and posts the end of each command back.

#include <QObject>
#include <functional>
#include <memory>
#include <vector>

#include "transfer/MailSession.h"
#include "transfer/RemoteMailbox.h"

namespace corvina {

class MailThread;
class MainContext;

class MailWorker : public QObject {
public:
    MailWorker(MainContext& context, MailThread& mail, TransferHost& host, UserPrompt& prompt);
    ~MailWorker() override;

    // The commands; each runs under the busy guard (entered by the token
    // the window set) and posts CommandFinished when it ends.
    void Run(int command);
    void SendNow(int accountIndex, std::unique_ptr<MailMessage> message);

    bool OpenRemote();
    bool ListRemote(bool deliverOnReceive, std::vector<RemoteRow>& rows);
    int ExecuteRemote(const std::vector<char>& marks);
    void CloseRemote();

private:
    // Points the session at the current account and settings, on the UI
    // thread, which owns them.
    void Configure();
    bool Receive(bool all);
    bool Deliver();
    void Finished(int command, bool ok);

    MainContext& context_;
    MailThread& mail_;
    MailSession session_;
    std::unique_ptr<BusyGuard> remoteBusy_;
    std::unique_ptr<RemoteMailbox> remote_;
};

}  // namespace corvina
