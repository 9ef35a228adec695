#pragma once
// The message pane below the list: the header pane, the body in a
// read-only editor view, and the attachment pane. It follows the message
// the core list views (ListWatcher::ViewedChanged) and loads nothing the
// list did not load. The store keeps the viewed message's body loaded
// (MailStore::SetShown); whenever the message may go away (the list views
// another, its folder is read again or emptied, it leaves the folder) the
// list tells the view to let go of it first.

#include <QWidget>
#include <cstdint>

#include "store/FolderWatcher.h"
#include "store/ListWatcher.h"

class QSplitter;

namespace corvina {

class AttachmentHost;
class CAtView;
class CHeadView;
class CIlkaView;
class EditorDialogs;
class MailFolder;
class MailMessage;
class MainContext;

class CMoView : public QWidget, private ListWatcher, private FolderWatcher {
    Q_OBJECT

public:
    CMoView(MainContext& context, EditorDialogs& dialogs, QWidget* parent = nullptr);
    ~CMoView() override;

    CHeadView& Head() { return *head_; }
    CIlkaView& Body() { return *body_; }
    CAtView& Attachments() { return *attachments_; }
    // The message shown, or null.
    const MailMessage* Shown() const { return shown_; }

private:
    // ListWatcher
    void ViewedChanged(const MailMessage* message) override;
    // FolderWatcher: the shown message's header or attachment links
    // changed.
    void MessageChanged(MailFolder& folder, const MessageRef& message) override;

    void Show(MailMessage* message);
    // Draws the shown message's header and attachments again (its body
    // view stays where it is).
    void ShowHeaderAndAttachments();
    // Empties the three panes; the body view holds an empty document of
    // its own.
    void ShowNothing();
    // "All Messages in Folder": the next or previous message row of the
    // list becomes the selected one and is shown at once.
    bool SelectAdjacent(bool next);

    MainContext& context_;
    CHeadView* head_;
    CIlkaView* body_;
    CAtView* attachments_;
    QSplitter* split_;
    // The shown message and how the store names it.
    MailMessage* shown_ = nullptr;
    MailFolder* shownFolder_ = nullptr;
    std::uint64_t shownKey_ = 0;
};

}  // namespace corvina
