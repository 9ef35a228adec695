#pragma once
// The main window: folder tree on the left, message list at the top right,
// the message below it; menus, tool bar, tray menu and context menus built
// from one command table; the status bar with the connection indicator;
// the mail thread, the periodic check, the tray icon and its new-mail
// state; the hand-over from a later start. Every decision is the core's
// (app/MailCheckSchedule, NewMailState, NewMailNotice, CloseChecks,
// WindowPlacement); the window carries them out.

#include <QMainWindow>
#include <QPointer>
#include <QStringList>
#include <QTimer>
#include <memory>
#include <optional>
#include <string>

#include "app/MailCheckSchedule.h"
#include "platform/SingleInstance.h"

class QSocketNotifier;
class QSplitter;

namespace corvina {

class CFolderTree;
class CMoList;
class CMoView;
class CommandTable;
class ConnectionIndicator;
class MailCommands;
class MailThread;
class MainContext;
class QtEditorDialogs;
class StatusPanes;
class TrayIcon;
struct PostedAction;

class CMainFrame : public QMainWindow, public SingleInstanceHost {
    Q_OBJECT

public:
    // The context outlives the window.
    explicit CMainFrame(MainContext& context, QWidget* parent = nullptr);
    ~CMainFrame() override;

    MainContext& Context() { return context_; }
    CFolderTree& Tree() { return *tree_; }
    CMoList& List() { return *list_; }
    CMoView& View() { return *view_; }
    MailThread& Mail() { return *mail_; }
    CommandTable& Commands() { return *commands_; }
    StatusPanes& Status() { return *status_; }
    ConnectionIndicator& Indicator() { return *indicator_; }
    TrayIcon& Tray() { return *tray_; }
    MailCheckSchedule& Schedule() { return schedule_; }

    // Runs a command by its id as its menu entry would. False when the
    // command is unknown or not enabled now.
    bool RunCommand(int id);
    // Greys the commands that cannot be chosen now (menus call it before
    // they open; the mail thread's start and end call it too).
    void UpdateCommands();

    // Shows the window as the start plan says: maximised or as stored,
    // minimised without activation, or hidden with only the tray icon.
    void ShowForStart(int showCommand, bool hideWindow);
    // The start's first action (Preferences, Receive New or the new-mail
    // notice), run once the event loop runs.
    void PostFirstAction(const PostedAction& action);

    // Later starts hand their requests to this window.
    void WatchSingleInstance(SingleInstance& instance);
    // A new message to `to` / with `files`: said in the status bar and
    // handed on (ComposeRequested, AttachRequested). The hand-over
    // restores the window first; the start's own request does not.
    void RequestCompose(const QString& to);
    void RequestAttach(const QStringList& files);
    void OpenAddress(const std::string& address) override;
    void OpenFiles(const std::string& commandLine) override;
    void Restore() override;

    // One tick of the one-minute timer.
    void MinuteTick();
    // Makes profile `index` current and shows its folders. False when it
    // was refused (a transfer runs) or the index is not a profile.
    bool SwitchProfile(int index);
    // Brings the window back from the tray or the task bar; with PassIcon
    // and a local password only after the password. False on Cancel.
    bool RestoreWindow();
    // The end of a receive: sound, new-mail state, question, "No new mail".
    void RunNewMailNotice(bool stored, bool reminderDue);

signals:
    // A later start (or "Compose...") asks for a new message to `to`
    // (empty: no recipient); the compose window takes it.
    void ComposeRequested(const QString& to);
    // A later start asks for a new message with these files attached.
    void AttachRequested(const QStringList& files);
    // The window closed after its closing checks: the run ends.
    void Closed();

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    class Closing;

    void BuildPanes();
    void BuildCommands();
    void ConnectMailThread();
    void ConnectViewer();
    void ApplyPlacement();
    void WritePlacementNow();
    void ShowProfileMenu();
    void CommandStarted();
    void CommandFinished(int command, bool ok);
    void FirstNewMessage(const QString& folder, qulonglong key);
    void ApplyPendingSelection();
    void SelectMessage(const std::string& folder, qulonglong key);
    void ShowTitle();
    void PlaySound(const std::string& soundFile);
    bool Minimised() const;

    MainContext& context_;
    std::unique_ptr<QtEditorDialogs> dialogs_;
    CFolderTree* tree_ = nullptr;
    CMoList* list_ = nullptr;
    CMoView* view_ = nullptr;
    QSplitter* mainSplitter_ = nullptr;
    QSplitter* rightSplitter_ = nullptr;
    MailThread* mail_ = nullptr;
    MailCommands* mailCommands_ = nullptr;
    CommandTable* commands_ = nullptr;
    StatusPanes* status_ = nullptr;
    ConnectionIndicator* indicator_ = nullptr;
    TrayIcon* tray_ = nullptr;
    QMenu* trayMenu_ = nullptr;

    MailCheckSchedule schedule_;
    QTimer minuteTimer_;
    // A receive stored mail since its command started.
    bool storedDuringCommand_ = false;
    // The first new message while minimised, selected on restore.
    std::optional<std::pair<std::string, qulonglong>> pendingSelection_;
    bool askingPassword_ = false;

    SingleInstance* instance_ = nullptr;
    QSocketNotifier* instanceNotifier_ = nullptr;
    QTimer instanceRetry_;
};

}  // namespace corvina
