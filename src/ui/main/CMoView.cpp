#include "ui/main/CMoView.h"

#include <QVBoxLayout>

#include "ui/editor/CIlkaView.h"
#include "ui/main/CAtView.h"
#include "ui/main/CHeadView.h"
#include "ui/main/MainContext.h"

namespace corvina {

CMoView::CMoView(MainContext& context, EditorDialogs& dialogs, QWidget* parent)
    : QWidget(parent), context_(context) {
    head_ = new CHeadView(this);
    body_ = new CIlkaView(context_.editor.Options(), &context_.editor.Keywords(), dialogs, this);
    body_->SetReadOnly(true);
    attachments_ = new CAtView(context_, this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(head_);
    layout->addWidget(body_, 1);
    layout->addWidget(attachments_);
}

CMoView::~CMoView() = default;

}  // namespace corvina
