#pragma once
// The main window's mail commands: the transfers it hands to the mail
// thread (receive new, receive all, deliver then receive, deliver, clean
// up the server, the remote mailbox), Check All Accounts, Manual Filtering
// and the abort of a running connection. The command table routes these
// ids here; the rules (busy count, confirmation, dial-up) are the core's.

#include <QObject>
#include <optional>
#include <string>

class QWidget;

namespace corvina {

class MailThread;
class MainContext;

class MailCommands : public QObject {
    Q_OBJECT

public:
    // `window` parents the questions and dialogs, and owns the object.
    MailCommands(MainContext& context, MailThread& mail, QWidget* window);
    ~MailCommands() override;

    // Whether `id` is one of these commands.
    static bool Handles(int id);
    // Whether the command can be chosen now (menus grey it otherwise).
    bool Enabled(int id) const;
    // Runs it as its menu entry would. False when it was refused or did
    // nothing (busy, cancelled).
    bool Run(int id);

signals:
    // A receive command was chosen: the periodic check counts from 0.
    void MinuteCounterReset();

private:
    // The start of a transfer handed to the mail thread.
    bool StartTransfer(int id);
    // The dial-up link of the command being started; false when it could
    // not be brought up.
    bool BringUpLink();
    void SaveOutBoxStatus();
    bool RunRemoteMailbox();
    bool CheckAllAccounts();
    bool ManualFiltering();
    bool AbortConnection();

    MainContext& context_;
    MailThread& mail_;
    QWidget* window_;
    // The link a command dialled, hung up when the command ends.
    std::optional<std::string> dialled_;
    bool askingAbort_ = false;
};

}  // namespace corvina
