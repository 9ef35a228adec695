#include "ui/main/CAtView.h"

namespace corvina {

CAtView::CAtView(MainContext& context, QWidget* parent) : QListWidget(parent), context_(context) {
    setObjectName("AttachmentPane");
}

void CAtView::ShowMessage(MailMessage*) {}

}  // namespace corvina
