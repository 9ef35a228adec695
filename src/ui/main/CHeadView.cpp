#include "ui/main/CHeadView.h"

namespace corvina {

CHeadView::CHeadView(QWidget* parent) : QWidget(parent) {
    setObjectName("HeaderPane");
}

void CHeadView::ShowMessage(const MailMessage*) {}

}  // namespace corvina
