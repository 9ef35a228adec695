// Keys, the input method and the focus: key events become the key table's
// virtual keys for the dispatcher; characters and input-method commits
// become typed text of the working code page.

#include <QFocusEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>

#include "editor/QtKeys.h"
#include "ui/bridge/QtText.h"
#include "ui/editor/CIlkaView.h"

namespace corvina {

void CIlkaView::keyPressEvent(QKeyEvent* event) {
    const std::optional<TranslatedKey> key =
        TranslateQtKey(event->key(), static_cast<unsigned>(event->modifiers().toInt()));
    KeyContext context;
    context.readOnly = editor_.ReadOnly();
    context.frameMinimised = window()->isMinimized();
    context.inputCtrlPending = commands_.InputCtrlPending();
    const KeyDisposition disposition =
        key ? dispatcher_.KeyDown(key->virtualKey, key->modifiers, context)
            : KeyDisposition::kPassOn;
    if (disposition == KeyDisposition::kPassOn && !event->text().isEmpty() &&
        !editor_.ReadOnly()) {
        for (const char byte : FromQString(event->text(), editor_.TextCodePage()))
            commands_.TypeChar(static_cast<unsigned char>(byte));
    }
    AfterInput();
    event->accept();
}

void CIlkaView::keyReleaseEvent(QKeyEvent* event) {
    if (!event->isAutoRepeat())
        dispatcher_.KeyUp(false);
    event->accept();
}

void CIlkaView::inputMethodEvent(QInputMethodEvent* event) {
    if (!event->commitString().isEmpty() && !editor_.ReadOnly())
        editor_.TypeText(FromQString(event->commitString(), editor_.TextCodePage()));
    preedit_ = event->preeditString();
    AfterInput();
    viewport()->update();
    event->accept();
}

QVariant CIlkaView::inputMethodQuery(Qt::InputMethodQuery query) const {
    switch (query) {
    case Qt::ImEnabled:
        return !editor_.ReadOnly();
    case Qt::ImCursorRectangle: {
        const long row = editor_.CaretRow();
        return QRect(XOfColumn(row, editor_.VirtualColumn()), YOfRow(row), 1,
                     metrics_.rowHeight);
    }
    case Qt::ImFont:
        return metrics_.font;
    default:
        return QAbstractScrollArea::inputMethodQuery(query);
    }
}

void CIlkaView::focusInEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusInEvent(event);
    emit ViewFocused(!editor_.ReadOnly());
    UpdateIndicators();
    viewport()->update();
}

void CIlkaView::focusOutEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusOutEvent(event);
    // The line edit buffer is shared by every view: only the focused one
    // keeps a line open.
    editor_.FocusOut();
    commands_.StopScrolling();
    continuousScroll_.stop();
    UpdateIndicators();
    viewport()->update();
}

// Tab and Shift+Tab are editor keys, not focus moves.
bool CIlkaView::focusNextPrevChild(bool) { return false; }

}  // namespace corvina
