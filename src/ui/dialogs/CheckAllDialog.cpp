#include "ui/dialogs/CheckAllDialog.h"

#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/ProfileSelection.h"
#include "common/StringTable.h"
#include "transfer/CheckAllAccounts.h"
#include "transfer/DeliverJob.h"
#include "transfer/MailSession.h"
#include "transfer/SessionSetup.h"
#include "ui/bridge/MailThread.h"
#include "ui/bridge/QtText.h"
#include "ui/bridge/WindowTransferHost.h"
#include "ui/main/MainContext.h"

namespace corvina {

namespace {

constexpr int kAllCheckedStringId = 26;
constexpr int kCloseStringId = 27;

}  // namespace

CheckAllDialog::CheckAllDialog(MainContext& context, MailThread& mail, QWidget* parent)
    : QDialog(parent),
      context_(context),
      mail_(mail),
      list_(new QListWidget),
      text_(new QLabel),
      close_(new QPushButton(tr("Cancel"))) {
    setObjectName("CheckAllDialog");
    setWindowTitle(tr("Check All Accounts"));
    list_->setObjectName("lines");
    text_->setObjectName("text");
    close_->setObjectName("close");
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(list_);
    layout->addWidget(text_);
    layout->addWidget(close_, 0, Qt::AlignRight);
    connect(close_, &QPushButton::clicked, this, &QDialog::reject);
    connect(&mail_, &MailThread::StatusText, text_, &QLabel::setText);
    resize(420, 300);
    start_.setSingleShot(true);
    start_.setInterval(1000);
    connect(&start_, &QTimer::timeout, this, &CheckAllDialog::RunCheck);
    start_.start();
}

CheckAllDialog::~CheckAllDialog() = default;

void CheckAllDialog::RunCheck() {
    if (done_) {
        return;
    }
    AppState& app = context_.app;
    close_->setEnabled(false);
    auto hostFor = [this, &app](int account) -> TransferHost& {
        std::unique_ptr<WindowTransferHost>& host = hosts_[account];
        if (!host) {
            const AccountProfile& profile = app.profiles[static_cast<size_t>(account)];
            host = std::make_unique<WindowTransferHost>(
                context_, mail_, MailboxDirectoryFor(app.homeDirectory, profile.mailDirNo));
        }
        return *host;
    };
    if (app.settings.deliverOnReceive != 0) {
        MailSession session(context_.transfer, hostFor(app.settings.defUser), context_.prompt);
        ConfigureSession(session, app);
        SessionSettings quiet = SessionSettingsFrom(app.settings);
        quiet.skipError = 1;
        session.SetSettings(quiet);
        DeliverJob(session).Run();
    }
    const CheckAllResult result = corvina::CheckAllAccounts(
        app.profiles, app.settings.defUser, app.homeDirectory, SessionSettingsFrom(app.settings),
        context_.transfer, hostFor, context_.prompt);
    for (const std::string& line : result.lines) {
        list_->addItem(ToQString(line));
    }
    done_ = true;
    text_->setText(ToQString(LoadString(kAllCheckedStringId)));
    close_->setText(ToQString(LoadString(kCloseStringId)));
    close_->setEnabled(true);
    close_->setFocus();
    QApplication::beep();
}

}  // namespace corvina
