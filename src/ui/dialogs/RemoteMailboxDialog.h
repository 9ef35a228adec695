#pragma once
// The remote mailbox: the server's messages as rows (subject, sender, sent
// date, size) with a mark each: V retrieve and keep, L retrieve and delete,
// D delete. The listing and the carrying out of the marks run on the mail
// thread; the dialog only draws the rows and sets marks.

#include <QDialog>
#include <vector>

#include "transfer/RemoteMailbox.h"

class QLabel;
class QPushButton;
class QTreeWidget;

namespace corvina {

class MailThread;
struct TransferState;

class RemoteMailboxDialog : public QDialog {
    Q_OBJECT

public:
    RemoteMailboxDialog(MailThread& mail, TransferState& state, bool deliverOnReceive,
                        QWidget* parent);

    // The listing button (130).
    void List();
    // Sets `mark` (kMarkView, kMarkLoad, kMarkDelete, or 0 to clear) on the
    // selected rows.
    void MarkSelected(char mark);
    const std::vector<RemoteRow>& Rows() const { return rows_; }
    // Whether a call to the mail thread is running.
    bool Working() const { return working_; }

    void accept() override;
    void reject() override;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void SetWorking(bool working);
    void ShowRows();
    // Ends the mail thread's side, then the dialog with `result`.
    void Finish(int result);

    MailThread& mail_;
    TransferState& state_;
    bool deliverOnReceive_;
    std::vector<RemoteRow> rows_;
    QTreeWidget* view_;
    QLabel* status_;
    QPushButton* listing_;
    QPushButton* ok_;
    bool opened_ = false;
    bool working_ = false;
    bool finishing_ = false;
};

}  // namespace corvina
