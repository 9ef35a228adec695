#include "ui/main/HeaderLine.h"

#include <QResizeEvent>

namespace corvina {

HeaderLine::HeaderLine(QWidget* parent) : QLabel(parent) {
    setTextFormat(Qt::PlainText);
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
}

void HeaderLine::SetFullText(const QString& text) {
    full_ = text;
    Elide();
}

// A long value must not widen the pane: it is elided instead.
QSize HeaderLine::minimumSizeHint() const {
    return {0, QLabel::minimumSizeHint().height()};
}

void HeaderLine::resizeEvent(QResizeEvent* event) {
    QLabel::resizeEvent(event);
    Elide();
}

void HeaderLine::Elide() {
    const QString shown = fontMetrics().elidedText(full_, Qt::ElideRight, contentsRect().width());
    elided_ = shown != full_;
    if (shown != text()) {
        setText(shown);
    }
    setToolTip(elided_ ? full_ : QString());
}

}  // namespace corvina
