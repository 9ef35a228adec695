#include "ui/main/MailCommands.h"

#include <QApplication>
#include <QWidget>
#include <chrono>

#include "app/MainCommandTable.h"
#include "app/MainCommands.h"
#include "app/Startup.h"
#include "common/StringTable.h"
#include "common/UserPrompt.h"
#include "filter/FilterList.h"
#include "filter/ManualFiltering.h"
#include "store/FolderNames.h"
#include "store/FolderTree.h"
#include "store/MailFolder.h"
#include "store/Mailbox.h"
#include "transfer/DialUp.h"
#include "transfer/MailCommandRules.h"
#include "ui/bridge/MailThread.h"
#include "ui/bridge/QtText.h"
#include "ui/dialogs/CheckAllDialog.h"
#include "ui/dialogs/CredentialsDialog.h"
#include "ui/dialogs/RemoteMailboxDialog.h"
#include "ui/main/MainContext.h"

namespace corvina {

namespace {

constexpr int kCleanUpQuestionId = 61453;
constexpr int kAbortQuestionId = 110;

// The abort waits as long as the transfer takes to unwind through its own
// failure paths; the abort wakes every blocked read and send at once.
constexpr std::chrono::hours kAbortWait{1};

// What dialling asks and tells while a command starts: the status bar, the
// "Logon" dialog and the system error box, all on the UI thread.
class WindowDialUpHost : public DialUpHost {
public:
    WindowDialUpHost(MailThread& mail, UserPrompt& prompt, QWidget* window)
        : mail_(mail), prompt_(prompt), window_(window) {}

    void ShowStatus(std::string_view text) override { emit mail_.StatusText(ToQString(text)); }
    std::optional<Credentials> AskLogon(std::string_view entry,
                                        const Credentials& prefilled) override {
        return CredentialsDialog::Ask(window_, "Logon - " + std::string(entry),
                                      "User &ID:", prefilled);
    }
    void ShowSystemError(std::string_view text, int code) override {
        prompt_.Notify(std::string(text) + " (" + std::to_string(code) + ")", "System Error");
    }

private:
    MailThread& mail_;
    UserPrompt& prompt_;
    QWidget* window_;
};

}  // namespace

MailCommands::MailCommands(MainContext& context, MailThread& mail, QWidget* window)
    : QObject(window), context_(context), mail_(mail), window_(window) {
    // A command that dialled its link hangs it up when it ends.
    connect(&mail_, &MailThread::CommandFinished, this, [this](int, bool) {
        if (dialled_ && context_.transfer.busy.load() == 0) {
            DialUp::Shared().HangUp(*dialled_);
            dialled_.reset();
        }
    });
}

MailCommands::~MailCommands() = default;

bool MailCommands::Handles(int id) {
    switch (id) {
        case kCmdReceiveNew:
        case kCmdReceiveAll:
        case kCmdReceive:
        case kCmdDeliver:
        case kCmdCleanUpServer:
        case kCmdRemoteMailbox:
        case kCmdCheckAllAccounts:
        case kCmdManualFiltering:
        case kCmdAbortConnection:
            return true;
        default:
            return false;
    }
}

bool MailCommands::Enabled(int id) const {
    const MainCommandRow* row = Handles(id) ? FindCommandRow(id) : nullptr;
    return row != nullptr && RuleAllows(row->rule, context_.transfer.busy.load());
}

bool MailCommands::Run(int id) {
    switch (id) {
        case kCmdCheckAllAccounts:
            return CheckAllAccounts();
        case kCmdManualFiltering:
            return ManualFiltering();
        case kCmdAbortConnection:
            return AbortConnection();
        case kCmdCleanUpServer:
            if (AskById(context_.prompt, kCleanUpQuestionId, ConfirmButtons::OkCancel,
                        ConfirmAnswer::Ok) != ConfirmAnswer::Ok) {
                return false;
            }
            return StartTransfer(id);
        default:
            return Handles(id) && StartTransfer(id);
    }
}

bool MailCommands::StartTransfer(int id) {
    TransferState& state = context_.transfer;
    // Clean up Server and the remote mailbox may start while a transfer
    // runs (the thread runs them after it); the others wait.
    if (!Enabled(id)) {
        return false;
    }
    const int command = ThreadCommandFor(id, context_.app.settings.deliverOnReceive != 0);
    if (IsReceiveCommand(command)) {
        emit MinuteCounterReset();
        // Reminders are not looked at before a receive: no receive is
        // announced without new mail.
        state.reminderDue = false;
    }
    if (ReadsOutBox(command)) {
        SaveOutBoxStatus();
    }
    ++state.busy;
    emit mail_.CommandStarted(command);
    if (!BringUpLink()) {
        --state.busy;
        emit mail_.CommandFinished(command, false);
        return false;
    }
    --state.busy;
    state.commandToken = true;
    if (command == kCmdRemoteMailbox) {
        return RunRemoteMailbox();
    }
    mail_.Post(command);
    return true;
}

bool MailCommands::BringUpLink() {
    const AccountProfile& account = context_.app.current;
    if (account.dialup == 0) {
        return true;
    }
    WindowDialUpHost host(mail_, context_.prompt, window_);
    std::optional<std::string> hangUp;
    // A failed dialling has hung up what it started.
    if (!DialUp::Shared().BringUpLink(account, context_.app.settings.skipError != 0, host,
                                      hangUp)) {
        return false;
    }
    if (hangUp) {
        dialled_ = std::move(hangUp);
    }
    return true;
}

void MailCommands::SaveOutBoxStatus() {
    FolderNode* outBox = context_.tree.Special(SpecialFolder::OutBox);
    if (outBox && outBox->folder && outBox->folder->modified) {
        SaveFolder(*outBox->folder, false, context_.tree.Context());
    }
}

bool MailCommands::RunRemoteMailbox() {
    RemoteMailboxDialog dialog(mail_, context_.transfer,
                               context_.app.settings.deliverOnReceive != 0, window_);
    dialog.exec();
    return true;
}

bool MailCommands::CheckAllAccounts() {
    if (context_.transfer.busy.load() != 0) {
        return false;
    }
    SaveOutBoxStatus();
    CheckAllDialog dialog(context_, mail_, window_);
    dialog.exec();
    return true;
}

bool MailCommands::ManualFiltering() {
    FilterList filters;
    if (!filters.LoadFilters(context_.app.mailboxDirectory)) {
        context_.prompt.Notify("The filter file " +
                                   (context_.app.mailboxDirectory / "Filter.DEF").string() +
                                   " could not be read; nothing was filtered. Check its "
                                   "permissions and try again.",
                               kMessageCaption);
        return false;
    }
    const int moved = corvina::ManualFiltering(context_.tree, filters);
    if (moved < 0) {
        return false;
    }
    // The list shows what InBox holds now.
    if (MailFolder* shown = context_.list.Folder()) {
        context_.list.FillMessageList(shown);
    }
    return true;
}

bool MailCommands::AbortConnection() {
    TransferState& state = context_.transfer;
    if (state.busy.load() == 0 || askingAbort_) {
        return false;
    }
    askingAbort_ = true;
    const bool abort = AskById(context_.prompt, kAbortQuestionId, ConfirmButtons::OkCancel,
                               ConfirmAnswer::Ok) == ConfirmAnswer::Ok &&
                       state.busy.load() != 0;
    if (abort) {
        mail_.Abort();
        // The running job may wait for this thread to store a message or
        // answer a question before it can see the abort.
        AbortTransfers(state, kAbortWait, [] { QApplication::processEvents(); });
    }
    askingAbort_ = false;
    return abort;
}

}  // namespace corvina
