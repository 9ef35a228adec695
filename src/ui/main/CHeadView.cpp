#include "ui/main/CHeadView.h"

#include <QGridLayout>
#include <QLabel>

#include "message/MailMessage.h"
#include "ui/bridge/QtText.h"
#include "ui/main/HeaderLine.h"

namespace corvina {

namespace {

constexpr const char* kCaptions[] = {"From:", "To:", "Cc:", "Subject:", "Date:"};

std::size_t IndexOf(CHeadView::Field field) {
    return static_cast<std::size_t>(field);
}

}  // namespace

CHeadView::CHeadView(QWidget* parent) : QWidget(parent) {
    setObjectName("HeaderPane");
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(6, 3, 6, 3);
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(1);
    for (std::size_t i = 0; i < kFields; ++i) {
        captions_[i] = new QLabel(kCaptions[i], this);
        QFont bold = captions_[i]->font();
        bold.setBold(true);
        captions_[i]->setFont(bold);
        captions_[i]->setAlignment(Qt::AlignRight | Qt::AlignTop);
        values_[i] = new HeaderLine(this);
        const int row = static_cast<int>(i);
        grid->addWidget(captions_[i], row, 0);
        grid->addWidget(values_[i], row, 1);
    }
    htmlNote_ = new QLabel(kRenderedFromHtmlNote, this);
    QPalette muted = htmlNote_->palette();
    muted.setColor(QPalette::WindowText, muted.color(QPalette::PlaceholderText));
    htmlNote_->setPalette(muted);
    QFont italic = htmlNote_->font();
    italic.setItalic(true);
    htmlNote_->setFont(italic);
    grid->addWidget(htmlNote_, static_cast<int>(kFields), 0, 1, 2);
    grid->setColumnStretch(1, 1);
    ShowMessage(nullptr);
}

void CHeadView::SetField(Field field, const std::string& value) {
    // Unfolded header values hold no line ends; a stray one must not make
    // the pane grow.
    QString text = ToQString(value);
    text.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
    values_[IndexOf(field)]->SetFullText(text);
}

void CHeadView::ShowMessage(const MailMessage* message) {
    static const std::string none;
    SetField(Field::From, message ? message->from : none);
    SetField(Field::To, message ? message->to : none);
    SetField(Field::Cc, message ? message->cc : none);
    SetField(Field::Subject, message ? message->subject : none);
    SetField(Field::Date, message ? message->date : none);
    const bool hasCc = message != nullptr && !message->cc.empty();
    captions_[IndexOf(Field::Cc)]->setVisible(hasCc);
    values_[IndexOf(Field::Cc)]->setVisible(hasCc);
    htmlNote_->setVisible(message != nullptr && message->renderedFromHtml);
}

QString CHeadView::Text(Field field) const {
    return values_[IndexOf(field)]->FullText();
}

bool CHeadView::Shown(Field field) const {
    return !values_[IndexOf(field)]->isHidden();
}

bool CHeadView::ShowsHtmlNote() const {
    return !htmlNote_->isHidden();
}

}  // namespace corvina
