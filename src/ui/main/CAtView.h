#pragma once
// The attachment pane: the viewed message's attachment files, opened,
// saved or released through the core (store/AttachmentPane.h).

#include <QListWidget>

namespace corvina {

class MailMessage;
class MainContext;

class CAtView : public QListWidget {
    Q_OBJECT

public:
    explicit CAtView(MainContext& context, QWidget* parent = nullptr);

    // null: empty.
    void ShowMessage(MailMessage* message);

private:
    MainContext& context_;
};

}  // namespace corvina
