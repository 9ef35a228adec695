#pragma once
// The message pane below the list: the header pane, the body in a
// read-only editor view, and the attachment pane. It follows the message
// the core list views (ListWatcher::ViewedChanged) and loads nothing the
// list did not load.

#include <QWidget>

namespace corvina {

class CAtView;
class CHeadView;
class CIlkaView;
class EditorDialogs;
class MainContext;

class CMoView : public QWidget {
    Q_OBJECT

public:
    CMoView(MainContext& context, EditorDialogs& dialogs, QWidget* parent = nullptr);
    ~CMoView() override;

    CHeadView& Head() { return *head_; }
    CIlkaView& Body() { return *body_; }
    CAtView& Attachments() { return *attachments_; }

private:
    MainContext& context_;
    CHeadView* head_;
    CIlkaView* body_;
    CAtView* attachments_;
};

}  // namespace corvina
