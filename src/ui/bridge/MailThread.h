#pragma once
// The mail thread: one QThread that runs every transfer job (receive,
// deliver, clean-up, the remote mailbox's server side) so the windows stay
// responsive while a server connection is open. The main window hands it
// commands; it answers with queued signals. Messages it receives reach the
// UI thread by value (through its TransferHost), and only the UI thread
// writes folder files. The busy count, command token, abort flag and
// progress counters are the atomics of the context's TransferState.

#include <QObject>
#include <QString>
#include <QThread>
#include <functional>
#include <memory>
#include <vector>

#include "transfer/RemoteMailbox.h"

namespace corvina {

class CrossThreadPrompt;
class MailMessage;
class MailWorker;
class MainContext;
class WindowTransferHost;

class MailThread : public QObject {
    Q_OBJECT

public:
    // The context outlives the thread. The thread starts at once.
    explicit MailThread(MainContext& context, QObject* parent = nullptr);
    // Raises the abort, waits for the running job, ends the thread.
    ~MailThread() override;

    // Hands a transfer command to the thread: 42785 receive new, 42782
    // receive all, 42771 deliver then receive, 42783 deliver, 42780 clean
    // up the server. The caller has set the command token
    // (TransferState::commandToken). Returns at once.
    void Post(int command);
    // 1002: sends one message now (a compose window's Send Now).
    void PostSendNow(int accountIndex, std::unique_ptr<MailMessage> message);
    // 1020: the user's abort; the running job ends at its next read or
    // send. The signal stays raised until whoever waits for the end of
    // the transfers clears it (AbortTransfers).
    void Abort();

    // The remote mailbox: its dialog draws the rows and sets the marks;
    // the server side runs here, holding the busy count from Open to Close.
    // Each call answers through `done` on the UI thread.
    // Open: false when another transfer ran and nothing was opened.
    void OpenRemoteMailbox(std::function<void(bool opened)> done);
    // The listing (with DeliverOnReceive the OutBox is sent first).
    void ListRemoteMailbox(bool deliverOnReceive,
                           std::function<void(std::vector<RemoteRow> rows, bool ok)> done);
    // Carries out `marks` (one per listed row, in list order): the number
    // of messages stored, -1 on failure.
    void ExecuteRemoteMailbox(std::vector<char> marks, std::function<void(int stored)> done);
    void CloseRemoteMailbox(std::function<void()> done);

    // The thread's host and prompt as the jobs see them; the prompt forwards
    // to the context's.
    WindowTransferHost& Host() { return *host_; }

signals:
    // Emitted on the UI thread.
    // 1025: text for the status bar's message pane.
    void StatusText(const QString& text);
    // 1001 done: a message was stored in `folder` (a folder name).
    void MessageStored(const QString& folder, qulonglong key);
    // 1003: the OutBox file of `folder` was rewritten.
    void OutBoxRewritten(const QString& folder);
    // 1006: the first new message of a receive was stored.
    void FirstNewMessage(const QString& folder, qulonglong key);
    // 1008: a receive stored mail; the new-mail notice runs.
    void ReceiveStored();
    // A command started (1010) and ended (1011): the connection indicator
    // animates between the two. The mail commands announce the start before
    // they dial; the end comes from the thread (command 1002 for Send Now),
    // or from the mail commands when the command never reached it.
    void CommandStarted(int command);
    void CommandFinished(int command, bool ok);

private:
    MainContext& context_;
    std::unique_ptr<WindowTransferHost> host_;
    std::unique_ptr<CrossThreadPrompt> prompt_;
    QThread thread_;
    MailWorker* worker_ = nullptr;
};

}  // namespace corvina
