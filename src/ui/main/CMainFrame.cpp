#include "ui/main/CMainFrame.h"

#include <QApplication>
#include <QCursor>
#include <QEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QToolBar>

#include "app/AppState.h"
#include "app/MainCommandTable.h"
#include "app/MainCommands.h"
#include "app/NewMailNotice.h"
#include "app/ProfileSelection.h"
#include "app/Startup.h"
#include "app/WindowPlacement.h"
#include "editor/AddressClick.h"
#include "store/FolderTree.h"
#include "ui/bridge/MailThread.h"
#include "ui/bridge/QtText.h"
#include "ui/editor/CIlkaView.h"
#include "ui/editor/QtEditorDialogs.h"
#include "ui/editor/ViewPrinter.h"
#include "ui/main/CFolderTree.h"
#include "ui/main/CMoList.h"
#include "ui/main/CMoView.h"
#include "ui/main/CommandTable.h"
#include "ui/main/ConnectionIndicator.h"
#include "ui/main/MailCommands.h"
#include "ui/main/MainContext.h"
#include "ui/main/StatusPanes.h"
#include "ui/main/TrayIcon.h"

namespace corvina {

namespace {

constexpr int kMinuteMs = 60'000;

// The commands the mail commands' class carries out.
constexpr int kMailCommandIds[] = {
    kCmdReceiveNew,       kCmdReceiveAll,      kCmdReceive,
    kCmdDeliver,          kCmdCleanUpServer,   kCmdRemoteMailbox,
    kCmdCheckAllAccounts, kCmdManualFiltering, kCmdAbortConnection,
};

}  // namespace

CMainFrame::CMainFrame(MainContext& context, QWidget* parent)
    : QMainWindow(parent), context_(context) {
    setObjectName("MarloMainFrameClass");
    dialogs_ = std::make_unique<QtEditorDialogs>(this, &context_.config, context_.search);
    mail_ = new MailThread(context_, this);
    mailCommands_ = new MailCommands(context_, *mail_, this);
    status_ = new StatusPanes(*statusBar());
    BuildPanes();
    BuildCommands();
    ConnectMailThread();
    ConnectViewer();
    ApplyPlacement();
    ShowTitle();

    minuteTimer_.setInterval(kMinuteMs);
    connect(&minuteTimer_, &QTimer::timeout, this, &CMainFrame::MinuteTick);
    minuteTimer_.start();
    UpdateCommands();
}

CMainFrame::~CMainFrame() = default;

void CMainFrame::BuildPanes() {
    tree_ = new CFolderTree(context_);
    list_ = new CMoList(context_);
    view_ = new CMoView(context_, *dialogs_);

    rightSplitter_ = new QSplitter(Qt::Vertical);
    rightSplitter_->addWidget(list_);
    rightSplitter_->addWidget(view_);
    mainSplitter_ = new QSplitter(Qt::Horizontal);
    mainSplitter_->addWidget(tree_);
    mainSplitter_->addWidget(rightSplitter_);
    mainSplitter_->setStretchFactor(1, 1);
    rightSplitter_->setStretchFactor(1, 1);
    setCentralWidget(mainSplitter_);

    connect(tree_, &CFolderTree::FolderOpened, list_, &CMoList::ShowFolder);
    connect(list_, &CMoList::StatusMessage, status_, &StatusPanes::ShowMessage);
    connect(tree_, &CFolderTree::StatusMessage, status_, &StatusPanes::ShowMessage);
    connect(tree_, &CFolderTree::FrameCommand, this, [this](int id) { RunCommand(id); });
    connect(list_, &CMoList::FolderSelectRequested, tree_, &CFolderTree::SelectFolderOf);
    tree_->Rebuild();
}

void CMainFrame::BuildCommands() {
    commands_ = new CommandTable(this);
    for (int id : kMailCommandIds)
        commands_->SetHandler(id, [this, id] { mailCommands_->Run(id); });
    // The table's rule greys commands by the busy count; the tree's own
    // commands go to the tree, which enables them by its selection, and
    // Delete is the tree's while it has the focus.
    for (int id : {kCmdNewFolder, kCmdFolderProperty, kCmdEmptyTrash, kCmdSaveCurrentStatus})
        commands_->SetHandler(id, [this, id] { tree_->RunFolderCommand(id); });
    for (int id : {kCmdMarkRead, kCmdMarkUnread})
        commands_->SetHandler(id, [this, id] { list_->RunListCommand(id); });
    commands_->SetEnabledCheck([this](int id) {
        if (id == kCmdDeleteMessage && tree_->hasFocus())
            return tree_->CommandEnabled(kCmdDeleteFolder);
        if (id != kCmdDeleteMessage && CFolderTree::Handles(id))
            return tree_->CommandEnabled(id);
        return true;
    });
    connect(mailCommands_, &MailCommands::MinuteCounterReset, this, [this] { schedule_.Reset(); });

    commands_->SetHandler(kCmdPrint, [this] { ShowPrintDialog(view_->Body(), this); });
    commands_->SetHandler(kCmdPrintPreview, [this] { ShowPrintPreview(view_->Body(), this); });
    commands_->SetHandler(kCmdSwitchUser, [this] { ShowProfileMenu(); });
    commands_->SetHandler(kCmdExit, [this] { close(); });
    commands_->SetHandler(kCmdRestoreWindow, [this] { RestoreWindow(); });
    commands_->SetHandler(kCmdCompose, [this] { emit ComposeRequested(QString()); });
    // Delete: the selected folder while the tree has the focus, else the
    // selected messages (into Trash, or for good from Trash).
    commands_->SetHandler(kCmdDeleteMessage, [this] {
        if (tree_->hasFocus())
            tree_->RunFolderCommand(kCmdDeleteFolder);
        else
            list_->DeleteSelected();
    });

    auto* toolBar = addToolBar(tr("Main"));
    toolBar->setObjectName("mainToolBar");
    toolBar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    commands_->Populate(*menuBar(), *toolBar);
    for (QMenu* menu : menuBar()->findChildren<QMenu*>())
        connect(menu, &QMenu::aboutToShow, this, &CMainFrame::UpdateCommands);

    indicator_ = new ConnectionIndicator(this);
    menuBar()->setCornerWidget(indicator_, Qt::TopRightCorner);
    connect(indicator_, &ConnectionIndicator::Clicked, this,
            [this] { RunCommand(kCmdAbortConnection); });

    trayMenu_ = commands_->BuildMenu(TrayMenuCommands(), this);
    connect(trayMenu_, &QMenu::aboutToShow, this, &CMainFrame::UpdateCommands);
    tray_ = new TrayIcon(trayMenu_, this);
    connect(tray_, &TrayIcon::RestoreRequested, this, [this] { RestoreWindow(); });
    connect(indicator_, &ConnectionIndicator::FrameStepped, this, [this](int frame) {
        tray_->IndicatorFrame(frame);
        if (!Minimised())
            status_->UpdateProgress(context_.transfer);
    });
}

void CMainFrame::ConnectMailThread() {
    connect(mail_, &MailThread::StatusText, status_, &StatusPanes::ShowMessage);
    connect(mail_, &MailThread::CommandStarted, this, [this](int) { CommandStarted(); });
    connect(mail_, &MailThread::CommandFinished, this, &CMainFrame::CommandFinished);
    connect(mail_, &MailThread::ReceiveStored, this, [this] {
        storedDuringCommand_ = true;
        RunNewMailNotice(true, context_.transfer.reminderDue.load());
    });
    connect(mail_, &MailThread::FirstNewMessage, this, &CMainFrame::FirstNewMessage);
}

void CMainFrame::ConnectViewer() {
    CIlkaView& body = view_->Body();
    connect(&body, &CIlkaView::PositionChanged, status_, &StatusPanes::SetPosition);
    connect(&body, &CIlkaView::CharacterCodeChanged, status_, &StatusPanes::SetCharacterCode);
    connect(&body, &CIlkaView::StatusMessage, status_, &StatusPanes::ShowMessage);
    // Print and preview are frame commands of the viewer's keys too; a key
    // that stands for a mail command runs it as the menu would.
    connect(&body, &CIlkaView::FrameCommand, this, [this](int id) { RunCommand(id); });
    connect(&body, &CIlkaView::WriteToAddress, this,
            [this](const QString& to, bool) { emit ComposeRequested(to); });
    const Settings& settings = context_.app.settings;
    body.SetDoubleClickActions(WebAddressActionOf(settings.defUrl),
                               MailAddressActionOf(settings.defMail));
}

bool CMainFrame::RunCommand(int id) {
    if (std::optional<int> profile = ProfileIndexForCommand(id))
        return SwitchProfile(*profile);
    return commands_->Run(id, context_.transfer.busy.load());
}

void CMainFrame::UpdateCommands() {
    commands_->UpdateEnabled(context_.transfer.busy.load());
}

void CMainFrame::CommandStarted() {
    storedDuringCommand_ = false;
    indicator_->Start();
    tray_->CommandStarted();
    UpdateCommands();
}

void CMainFrame::CommandFinished(int command, bool ok) {
    indicator_->Stop();
    context_.transfer.ZeroProgress();
    status_->HideProgress();
    status_->ShowMessage(QString());
    tray_->CommandFinished();
    UpdateCommands();
    // A receive that stored mail told so already; one that found nothing
    // tells it now ("No new mail").
    if (ok && EndsWithNewMailNotice(command) && !storedDuringCommand_)
        RunNewMailNotice(false, context_.transfer.reminderDue.load());
}

void CMainFrame::FirstNewMessage(const QString& folder, qulonglong key) {
    if (context_.app.settings.selFirst != 1)
        return;
    std::string name = FromQString(folder);
    if (Minimised()) {
        pendingSelection_ = std::make_pair(std::move(name), key);
        return;
    }
    SelectMessage(name, key);
}

void CMainFrame::ApplyPendingSelection() {
    if (!pendingSelection_)
        return;
    auto [folder, key] = std::move(*pendingSelection_);
    pendingSelection_.reset();
    SelectMessage(folder, key);
}

void CMainFrame::SelectMessage(const std::string& folder, qulonglong key) {
    if (!tree_->SelectFolder(folder))
        return;
    const auto& items = context_.list.Items();
    for (int row = 0; row < static_cast<int>(items.size()); ++row) {
        if (items[row].message && items[row].message->key.Value() == key) {
            context_.list.Select(row);
            return;
        }
    }
}

void CMainFrame::ShowProfileMenu() {
    if (context_.transfer.busy.load() != 0) {
        QApplication::beep();
        return;
    }
    QMenu menu(this);
    for (const ProfileMenuEntry& entry : ProfileMenuEntries(context_.app.profiles)) {
        QAction* action = menu.addAction(ToQString(entry.text));
        action->setData(entry.commandId);
    }
    if (QAction* chosen = menu.exec(QCursor::pos()))
        RunCommand(chosen->data().toInt());
}

bool CMainFrame::SwitchProfile(int index) {
    // The mail thread works in the current mailbox directory until it ends.
    if (context_.transfer.busy.load() != 0) {
        QApplication::beep();
        return false;
    }
    std::optional<ProfileSelection> selection = SelectProfile(context_.app, index);
    if (!selection)
        return false;
    context_.BuildForCurrentProfile();
    tree_->Rebuild();
    ShowTitle();
    // The filter definitions are read by each receive from the mailbox
    // directory that is current then; nothing is kept across a switch.
    PostFirstAction({PostedAction::Kind::kMessage, kMsgNewMailNotice});
    return true;
}

void CMainFrame::ShowTitle() {
    const std::string title = ProfileTitle(context_.app.current);
    setWindowTitle(ToQString(title) + QStringLiteral(" - Corvina"));
    tray_->SetTip(ToQString(TrayTip(title)));
}

bool CMainFrame::Minimised() const {
    return isMinimized() || !isVisible();
}

}  // namespace corvina
