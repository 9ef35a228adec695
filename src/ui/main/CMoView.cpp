#include "ui/main/CMoView.h"

#include <QSplitter>
#include <QVBoxLayout>
#include <memory>

#include "message/MailMessage.h"
#include "ui/editor/CIlkaView.h"
#include "ui/main/CAtView.h"
#include "ui/main/CHeadView.h"
#include "ui/main/MainContext.h"

namespace corvina {

CMoView::CMoView(MainContext& context, EditorDialogs& dialogs, QWidget* parent)
    : QWidget(parent), context_(context) {
    setObjectName("MessagePane");
    head_ = new CHeadView(this);
    body_ = new CIlkaView(context_.editor.Options(), &context_.editor.Keywords(), dialogs, this);
    body_->setObjectName("MessageBody");
    body_->SetReadOnly(true);
    body_->SetAdjacentMessageHandler([this](bool next) { return SelectAdjacent(next); });
    attachments_ = new CAtView(context_, this);

    split_ = new QSplitter(Qt::Vertical, this);
    split_->setChildrenCollapsible(false);
    split_->addWidget(body_);
    split_->addWidget(attachments_);
    split_->setStretchFactor(0, 1);
    split_->setStretchFactor(1, 0);
    split_->setSizes({400, 80});

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(head_);
    layout->addWidget(split_, 1);

    ShowNothing();
    context_.list.AddWatcher(this);
    context_.store.AddWatcher(this);
    if (const MailMessage* viewed = context_.list.ViewedMessage()) {
        ViewedChanged(viewed);
    }
}

CMoView::~CMoView() {
    context_.store.RemoveWatcher(this);
    context_.list.RemoveWatcher(this);
}

void CMoView::ViewedChanged(const MailMessage* message) {
    // The list hands out its rows' messages as const; the same message as
    // its row holds it is what the read-only view attaches.
    const int row = message != nullptr ? context_.list.RowOf(message) : -1;
    if (row < 0) {
        ShowNothing();
        return;
    }
    Show(context_.list.Items()[static_cast<std::size_t>(row)].message);
}

void CMoView::Show(MailMessage* message) {
    shown_ = message;
    shownFolder_ = message->owner;
    shownKey_ = message->key.Value();
    body_->Attach(*message);
    ShowHeaderAndAttachments();
}

void CMoView::ShowHeaderAndAttachments() {
    head_->ShowMessage(shown_);
    attachments_->ShowMessage(shown_);
    attachments_->setVisible(!shown_->attachments.empty());
}

void CMoView::ShowNothing() {
    shown_ = nullptr;
    shownFolder_ = nullptr;
    shownKey_ = 0;
    head_->ShowMessage(nullptr);
    attachments_->ShowMessage(nullptr);
    attachments_->hide();
    body_->Attach(std::make_unique<MailMessage>());
}

void CMoView::MessageChanged(MailFolder& folder, const MessageRef& message) {
    if (shown_ != nullptr && &folder == shownFolder_ && message.key == shownKey_) {
        ShowHeaderAndAttachments();
    }
}

// After the last message row comes the first, as a search through all
// messages of the folder expects; the only message is its own neighbour.
bool CMoView::SelectAdjacent(bool next) {
    const int count = context_.list.Count();
    const int row = shown_ != nullptr ? context_.list.RowOf(shown_) : -1;
    if (row < 0) {
        return false;
    }
    const int step = next ? 1 : -1;
    for (int i = 1; i <= count; ++i) {
        const int candidate = ((row + step * i) % count + count) % count;
        if (context_.list.Items()[static_cast<std::size_t>(candidate)].message != nullptr) {
            context_.list.Select(candidate);
            return true;
        }
    }
    return false;
}

}  // namespace corvina
