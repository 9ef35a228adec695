#pragma once
// The header pane above the body: From, To, Cc, Subject and Date of the
// viewed message.

#include <QWidget>

namespace corvina {

class MailMessage;

class CHeadView : public QWidget {
    Q_OBJECT

public:
    explicit CHeadView(QWidget* parent = nullptr);

    // null: empty.
    void ShowMessage(const MailMessage* message);
};

}  // namespace corvina
