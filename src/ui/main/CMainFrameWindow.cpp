// The main window's life as a window: placement, showing and restoring
// (with the local password), the tray's new-mail notice, the periodic
// check, the hand-over from a later start, and closing.

#include <QApplication>
#include <QCloseEvent>
#include <QElapsedTimer>
#include <QFile>
#include <QScreen>
#include <QSocketNotifier>
#include <QSplitter>
#include <QThread>
#include <QWindowStateChangeEvent>
#include <filesystem>
#include <thread>

#include "app/AppState.h"
#include "app/CloseChecks.h"
#include "app/CommandLine.h"
#include "app/NewMailNotice.h"
#include "app/SettingsLoader.h"
#include "app/Startup.h"
#include "app/WindowPlacement.h"
#include "common/StringTable.h"
#include "common/UserPrompt.h"
#include "filter/FilterList.h"
#include "filter/ManualFiltering.h"
#include "platform/LinkLayer.h"
#include "platform/Process.h"
#include "store/EmptyTrash.h"
#include "store/FolderOps.h"
#include "store/FolderTree.h"
#include "ui/bridge/MailThread.h"
#include "ui/bridge/QtText.h"
#include "ui/main/CMainFrame.h"
#include "ui/main/ConnectionIndicator.h"
#include "ui/main/MainContext.h"
#include "ui/main/StatusPanes.h"
#include "ui/main/TrayIcon.h"

namespace corvina {

namespace {

// How long closing waits for an aborted connection to let go.
constexpr int kAbortWaitMs = 30'000;

PlacementRect AvailableScreen() {
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return {};
    QRect area = screen->availableVirtualGeometry();
    return {area.left(), area.top(), area.width(), area.height()};
}

bool DialUpLinkActive() {
    LinkLayer link;
    if (!link.Load())
        return false;
    auto active = link.ActiveConnections();
    if (!active)
        return false;
    for (const LinkEntry& entry : *active) {
        if (LinkLayer::IsDialUpType(entry.type))
            return true;
    }
    return false;
}

}  // namespace

// What closing does, step by step, as the close checks decide.
class CMainFrame::Closing : public CloseHost {
public:
    explicit Closing(CMainFrame& frame) : frame_(frame) {}

    void AbortConnection() override {
        MainContext& context = frame_.context_;
        frame_.mail_->Abort();
        // The mail thread may need this thread (a message to store) before
        // it can end: keep serving it while waiting.
        QElapsedTimer waited;
        waited.start();
        while (context.transfer.busy.load() != 0 && waited.elapsed() < kAbortWaitMs) {
            QApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 20);
            QThread::msleep(10);
        }
        frame_.indicator_->Stop();
        frame_.tray_->CommandFinished();
    }
    void SaveCurrentStatus() override { corvina::SaveCurrentStatus(frame_.context_.tree); }
    void RunExitFilter() override {
        MainContext& context = frame_.context_;
        FolderNode* inbox = context.tree.Special(SpecialFolder::InBox);
        FilterList filters;
        if (!inbox || !filters.LoadFilters(context.app.mailboxDirectory))
            return;
        context.store.SetShown(inbox->folder.get());
        ManualFiltering(context.tree, filters);
    }
    void WritePlacement() override { frame_.WritePlacementNow(); }
    void EmptyTrash() override { corvina::EmptyTrash(frame_.context_.tree); }

private:
    CMainFrame& frame_;
};

void CMainFrame::ApplyPlacement() {
    WindowPlacement placement = PlacementFromSettings(context_.app.settings, AvailableScreen());
    if (placement.hasGeometry) {
        const PlacementRect& g = placement.geometry;
        setGeometry(g.left, g.top, g.width, g.height);
    }
    // The panes take their stored sizes once the window has its size.
    QTimer::singleShot(0, this, [this, placement] {
        PaneSizes sizes = PaneSizesFor(placement, mainSplitter_->width(), rightSplitter_->height());
        mainSplitter_->setSizes({sizes.treeWidth, mainSplitter_->width() - sizes.treeWidth});
        rightSplitter_->setSizes({sizes.listHeight, rightSplitter_->height() - sizes.listHeight});
    });
}

void CMainFrame::WritePlacementNow() {
    WindowPlacement placement;
    QRect normal = normalGeometry();
    if (normal.width() > 0 && normal.height() > 0) {
        placement.hasGeometry = true;
        placement.geometry = {normal.x(), normal.y(), normal.width(), normal.height()};
    }
    placement.maximized = isMaximized();
    placement.paneWidth1 = mainSplitter_->sizes().value(0, -1);
    placement.paneHeight1 = rightSplitter_->sizes().value(0, -1);
    WritePlacement(context_.config, context_.app.settings, placement);
}

void CMainFrame::ShowForStart(int showCommand, bool hideWindow) {
    if (hideWindow)
        return;  // only the tray icon; it restores the window
    switch (showCommand) {
        case kShowMaximized:
            showMaximized();
            break;
        case kShowMinimized:
        case kShowMinimize:
        case kShowMinNoActive:
            setAttribute(Qt::WA_ShowWithoutActivating, showCommand == kShowMinNoActive);
            showMinimized();
            break;
        default:
            show();
            break;
    }
}

void CMainFrame::PostFirstAction(const PostedAction& action) {
    QTimer::singleShot(0, this, [this, action] {
        if (action.kind == PostedAction::Kind::kCommand) {
            RunCommand(action.id);
            return;
        }
        NoticePlan plan = PlanStartNotice(context_.transfer.reminderDue.load(), Minimised(),
                                          context_.app.settings);
        if (plan.sound != NoticePlan::Sound::kNone)
            PlaySound(plan.soundFile);
        if (plan.restore)
            RestoreWindow();
    });
}

bool CMainFrame::RestoreWindow() {
    const Settings& settings = context_.app.settings;
    if (Minimised() && settings.passIcon != 0 && !settings.localPass.empty()) {
        // A second request while the password is asked waits for that one.
        if (askingPassword_)
            return false;
        askingPassword_ = true;
        const bool ok = VerifyLocalPassword(context_.prompt, settings.localPass);
        askingPassword_ = false;
        if (!ok)
            return false;
    }
    if (isMinimized())
        setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    show();
    raise();
    activateWindow();
    tray_->Seen();
    ApplyPendingSelection();
    return true;
}

void CMainFrame::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange) {
        auto* change = static_cast<QWindowStateChangeEvent*>(event);
        if (isMinimized()) {
            // With HideIcon only the tray icon remains.
            if (context_.app.settings.hideIcon != 0)
                QTimer::singleShot(0, this, [this] {
                    if (isMinimized())
                        hide();
                });
        } else if (change->oldState() & Qt::WindowMinimized) {
            tray_->Seen();
            ApplyPendingSelection();
        }
    } else if (event->type() == QEvent::ActivationChange) {
        if (isActiveWindow() && !isMinimized())
            tray_->Seen();
    }
}

void CMainFrame::RunNewMailNotice(bool stored, bool reminderDue) {
    NoticeInputs inputs;
    inputs.stored = stored;
    inputs.reminderDue = reminderDue;
    inputs.windowActive = isActiveWindow();
    inputs.minimised = Minimised();
    inputs.alreadyNew = tray_->State().Current() == NewMailState::kNewMail;
    const NoticePlan plan = PlanNewMailNotice(inputs, context_.app.settings);
    const bool hidden = !isVisible();
    if (plan.noMailNotice) {
        if (hidden)
            tray_->Notify(windowTitle(), QString::fromLatin1(LoadString(kStrNoNewMail)));
        NotifyById(context_.prompt, kStrNoNewMail);
        return;
    }
    if (plan.sound != NoticePlan::Sound::kNone)
        PlaySound(plan.soundFile);
    if (plan.enterNewMailState)
        tray_->MailWaiting();
    if (hidden && (stored || reminderDue))
        tray_->Notify(windowTitle(), QString::fromLatin1(LoadString(kStrReadNewMailNow)));
    if (plan.ask) {
        Question question;
        question.text = LoadString(kStrReadNewMailNow);
        question.buttons = ConfirmButtons::YesNo;
        question.preset = plan.askPresetYes ? ConfirmAnswer::Yes : ConfirmAnswer::No;
        const bool yes = context_.prompt.Ask(question) == ConfirmAnswer::Yes;
        if (RestoreAfterAnswer(inputs.minimised, yes))
            RestoreWindow();
    } else if (plan.restore) {
        RestoreWindow();
    }
    // A threaded list places the new messages in their threads anew.
    if (plan.refreshList && !Minimised() && context_.app.settings.msgThread == 1 &&
        context_.list.Folder()) {
        context_.list.FillMessageList(context_.list.Folder());
    }
}

void CMainFrame::PlaySound(const std::string& soundFile) {
    std::error_code ec;
    if (!soundFile.empty() && std::filesystem::is_regular_file(soundFile, ec)) {
        for (const char* player : {"paplay", "aplay"}) {
            if (!Process::FindProgram(player))
                continue;
            // The sound plays while the window goes on.
            std::thread([argv = std::vector<std::string>{player, soundFile}] {
                Process process(argv);
                process.Run();
            }).detach();
            return;
        }
    }
    QApplication::beep();
}

void CMainFrame::MinuteTick() {
    MailCheckSchedule::Inputs inputs =
        MailCheckSchedule::From(context_.app.settings, context_.app.current.dialup != 0,
                                context_.transfer.busy.load() != 0);
    inputs.linkActive = DialUpLinkActive;
    if (schedule_.Tick(inputs))
        RunCommand(kCmdReceiveNew);
}

void CMainFrame::WatchSingleInstance(SingleInstance& instance) {
    instance_ = &instance;
    if (instance.ListenFd() < 0)
        return;
    instanceNotifier_ = new QSocketNotifier(instance.ListenFd(), QSocketNotifier::Read, this);
    auto poll = [this] {
        // A request may open a dialog (the password): no second poll from
        // inside it.
        instanceNotifier_->setEnabled(false);
        instance_->Poll(*this, std::chrono::milliseconds(0));
        instanceNotifier_->setEnabled(true);
        if (instance_->HasPending())
            instanceRetry_.start();
    };
    connect(instanceNotifier_, &QSocketNotifier::activated, this, poll);
    instanceRetry_.setSingleShot(true);
    instanceRetry_.setInterval(50);
    connect(&instanceRetry_, &QTimer::timeout, this, poll);
}

void CMainFrame::RequestCompose(const QString& to) {
    status_->ShowMessage(tr("Write to %1").arg(to));
    emit ComposeRequested(to);
}

void CMainFrame::RequestAttach(const QStringList& files) {
    status_->ShowMessage(tr("Attach %1").arg(files.join(QStringLiteral(", "))));
    emit AttachRequested(files);
}

void CMainFrame::OpenAddress(const std::string& address) {
    if (RestoreWindow())
        RequestCompose(ToQString(address));
}

void CMainFrame::OpenFiles(const std::string& commandLine) {
    if (!RestoreWindow())
        return;
    // File names are the file system's bytes, not text of the code page.
    QStringList files;
    for (const std::string& file : SplitFileList(commandLine))
        files << QFile::decodeName(QByteArray::fromStdString(file));
    RequestAttach(files);
}

void CMainFrame::Restore() {
    RestoreWindow();
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    Closing closing(*this);
    if (!ConfirmClose(context_.app, context_.transfer.busy.load() != 0, context_.prompt, closing)) {
        event->ignore();
        return;
    }
    minuteTimer_.stop();
    event->accept();
    emit Closed();
}

}  // namespace corvina
