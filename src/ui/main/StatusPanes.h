#pragma once
// The main window's status bar: the message pane, the viewer's character
// code and caret position, and the progress panel of a receive (shown
// only while a counted message is under way).

#include <QObject>
#include <QString>

class QLabel;
class QProgressBar;
class QStatusBar;
class QWidget;

namespace corvina {

struct TransferState;

class StatusPanes : public QObject {
    Q_OBJECT

public:
    // Adds the panes to `bar`.
    explicit StatusPanes(QStatusBar& bar);
    ~StatusPanes() override;

    QString Message() const;
    void ShowMessage(const QString& text);
    void SetCharacterCode(const QString& text);
    void SetPosition(const QString& text);

    // Reads the progress counters anew.
    void UpdateProgress(const TransferState& transfer);
    void HideProgress();

    bool ProgressShown() const;
    QString ProgressCount() const;
    QString ProgressSize() const;

private:
    QLabel* message_;
    QLabel* code_;
    QLabel* position_;
    QWidget* progress_;
    QLabel* count_;
    QLabel* size_;
    QProgressBar* bar_;
};

}  // namespace corvina
