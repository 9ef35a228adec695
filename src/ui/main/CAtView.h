#pragma once
// The attachment pane: the viewed message's attachment files (name,
// type/subtype, size), opened, saved, launched or released through the
// core (store/AttachmentPane.h). Double-click or Enter opens, Delete
// releases the selected links; the context menu holds every operation.

#include <QListWidget>
#include <memory>

#include "store/AttachmentPane.h"

namespace corvina {

class MailMessage;
class MainContext;
class MimeTypeTable;

class CAtView : public QListWidget {
    Q_OBJECT

public:
    explicit CAtView(MainContext& context, QWidget* parent = nullptr);
    ~CAtView() override;

    // null: empty. The message must stay alive while it is shown.
    void ShowMessage(MailMessage* message);

    // The desktop's services; tests put a recording host here (null: the
    // desktop's own). The host must outlive the pane.
    void SetHost(AttachmentHost* host);

    // The operations on the entry of `row`, as the menu runs them.
    OpenOutcome OpenRow(int row);
    bool SaveRowAs(int row);
    bool LaunchRowWith(int row);
    OpenOutcome OpenRowByDefaultAction(int row);
    bool ExploreRowFolder(int row);
    // Releases the selected entries' links after the core's questions.
    bool ReleaseSelected();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    const AttachmentEntry* EntryOf(int row) const;
    const MimeTypeTable& Types() const;
    // The save dialog's directory lives in the settings (AttachSaveDir).
    AttachmentPaneState PaneState() const;
    void KeepPaneState(const AttachmentPaneState& state);

    MainContext& context_;
    MailMessage* message_ = nullptr;
    std::unique_ptr<AttachmentHost> desktop_;
    AttachmentHost* host_;
};

}  // namespace corvina
