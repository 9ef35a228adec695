#pragma once
// "Check All Accounts": a list box, a text line and a Cancel button that
// becomes Close. A second after it opens it receives every account's mail
// on the UI thread, with a session of its own (the mail thread is idle:
// the dialog is refused while a transfer runs).

#include <QDialog>
#include <QTimer>
#include <filesystem>
#include <map>
#include <memory>

class QLabel;
class QListWidget;
class QPushButton;

namespace corvina {

class MailThread;
class MainContext;
class WindowTransferHost;

class CheckAllDialog : public QDialog {
    Q_OBJECT

public:
    CheckAllDialog(MainContext& context, MailThread& mail, QWidget* parent);
    ~CheckAllDialog() override;

    // The check itself; the timer runs it a second after the dialog opens.
    void RunCheck();
    bool Done() const { return done_; }

private:
    MainContext& context_;
    MailThread& mail_;
    QListWidget* list_;
    QLabel* text_;
    QPushButton* close_;
    QTimer start_;
    bool done_ = false;
    // One host per account checked, storing into that account's folders.
    std::map<int, std::unique_ptr<WindowTransferHost>> hosts_;
};

}  // namespace corvina
