// Keys, the input method and the focus: key events become the key table's
// virtual keys for the dispatcher; characters and input-method commits
// become typed text of the working code page.

#include <QFocusEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <algorithm>

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
    switch (disposition) {
        case KeyDisposition::kPassOn:
            // AltGr and dead keys arrive here with the character they make.
            if (!event->text().isEmpty())
                commands_.TypeKeyText(FromQString(event->text(), editor_.TextCodePage()));
            break;
        case KeyDisposition::kRestoreFrame:
            window()->showNormal();
            break;
        case KeyDisposition::kConsumed:
        case KeyDisposition::kConsumedDropCharacters:
            break;
    }
    AfterInput();
    UpdatePointer(viewport()->mapFromGlobal(QCursor::pos()));
    event->accept();
}

// An auto-repeated release has the next press already queued behind it:
// the repeat count keeps growing until the key really goes up.
void CIlkaView::keyReleaseEvent(QKeyEvent* event) {
    dispatcher_.KeyUp(event->isAutoRepeat());
    event->accept();
}

QString CIlkaView::CaretLineText() const {
    return editor_.Document()
               ? ToQString(editor_.LineView(editor_.CaretLine()), editor_.TextCodePage())
               : QString();
}

std::size_t CIlkaView::OffsetOfIndex(const QString& line, int index) const {
    return FromQString(line.left(std::max(0, index)), editor_.TextCodePage()).size();
}

void CIlkaView::inputMethodEvent(QInputMethodEvent* event) {
    if (!editor_.ReadOnly() && editor_.Document()) {
        // A replacement range (relative to the caret, in UTF-16 units of
        // its line) is taken as a selection the commit then replaces, so
        // the whole commit is one undo step.
        if (event->replacementLength() > 0) {
            editor_.CommitLine();
            const QString line = CaretLineText();
            const int caret = static_cast<int>(
                ToQString(editor_.LineView(editor_.CaretLine()).substr(0, editor_.CaretOffset()),
                          editor_.TextCodePage())
                    .size());
            const int from =
                std::clamp(caret + event->replacementStart(), 0, static_cast<int>(line.size()));
            const int to =
                std::clamp(from + event->replacementLength(), from, static_cast<int>(line.size()));
            const std::size_t lineIndex = editor_.CaretLine();
            editor_.SelectRange({lineIndex, OffsetOfIndex(line, from)},
                                {lineIndex, OffsetOfIndex(line, to)});
            if (event->commitString().isEmpty())
                editor_.DeleteSelection();
        }
        if (!event->commitString().isEmpty())
            editor_.TypeText(FromQString(event->commitString(), editor_.TextCodePage()));
    }
    preedit_ = event->preeditString();
    preeditCursor_ = static_cast<int>(preedit_.size());
    for (const QInputMethodEvent::Attribute& attribute : event->attributes()) {
        if (attribute.type == QInputMethodEvent::Cursor)
            preeditCursor_ = std::clamp(attribute.start, 0, static_cast<int>(preedit_.size()));
    }
    AfterInput();
    viewport()->update();
    event->accept();
}

QVariant CIlkaView::inputMethodQuery(Qt::InputMethodQuery query) const {
    switch (query) {
        case Qt::ImEnabled:
            return !editor_.ReadOnly();
        case Qt::ImHints:
            return static_cast<int>(Qt::ImhNoPredictiveText);
        case Qt::ImCursorRectangle: {
            const long row = editor_.CaretRow();
            // In the view's coordinates: the viewport sits inside the frame.
            return QRect(XOfColumn(row, editor_.VirtualColumn()), YOfRow(row), 1,
                         metrics_.rowHeight)
                .translated(viewport()->pos());
        }
        case Qt::ImFont:
            return metrics_.font;
        case Qt::ImSurroundingText:
            return CaretLineText();
        case Qt::ImCursorPosition:
        case Qt::ImAnchorPosition: {
            if (!editor_.Document())
                return 0;
            const std::string_view line = editor_.LineView(editor_.CaretLine());
            std::size_t offset = editor_.CaretOffset();
            // The anchor is the selection's other end when it lies in the
            // caret's line.
            if (query == Qt::ImAnchorPosition && editor_.HasSelection() &&
                editor_.Selection() != SelectionMode::kBox) {
                const auto [from, to] = editor_.SelectedRange();
                const TextPlace other = from == editor_.Caret() ? to : from;
                if (other.line == editor_.CaretLine())
                    offset = other.offset;
            }
            offset = std::min(offset, line.size());
            return static_cast<int>(
                ToQString(line.substr(0, offset), editor_.TextCodePage()).size());
        }
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
    // An unfinished composition belongs to the focused view only.
    preedit_.clear();
    preeditCursor_ = 0;
    commands_.StopScrolling();
    continuousScroll_.stop();
    UpdateIndicators();
    viewport()->update();
}

// Tab and Shift+Tab are editor keys, not focus moves.
bool CIlkaView::focusNextPrevChild(bool) {
    return false;
}

}  // namespace corvina
