// The mouse, drag and drop, the context menus and the addresses: presses
// and drags become places for the model's selection, a double-click or an
// address-menu command is decided by the core and carried out here (the
// browser, the compose window and the address book are the frames').

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDrag>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPointer>
#include <algorithm>
#include <array>

#include "editor/AddressRecognition.h"
#include "editor/EditorOptions.h"
#include "ui/bridge/QtText.h"
#include "ui/editor/AddressLauncher.h"
#include "ui/editor/CIlkaView.h"
#include "ui/editor/ViewDragData.h"

namespace corvina {
namespace {

using C = EditorCommand;

// While the button is held above or below the text, one row per tick.
constexpr int kAutoScrollPeriod = 10;

struct MenuCaption {
    EditorCommand command;
    const char* caption;
};

constexpr std::array<MenuCaption, 7> kAddressCaptions = {{
    {C::kOpenUrl, "Open &URL"},
    {C::kHighlightUrl, "&Highlight URL"},
    {C::kHighlightWordOfUrl, "Highlight &Word"},
    {C::kMailToAddress, "&Mail To This Address"},
    {C::kAddToAddressBook, "&Add to Address Book..."},
    {C::kHighlightAddress, "&Highlight Address"},
    {C::kHighlightWordOfAddress, "Highlight &Word"},
}};

// The editing menu elsewhere; kNone is a separator.
constexpr std::array<MenuCaption, 7> kEditingCaptions = {{
    {C::kUndo, "&Undo"},
    {C::kNone, nullptr},
    {C::kEditCut, "Cu&t"},
    {C::kEditCopy, "&Copy"},
    {C::kEditPaste, "&Paste"},
    {C::kNone, nullptr},
    {C::kSelectAll, "Select &All"},
}};

const char* AddressCaption(EditorCommand command) {
    for (const MenuCaption& entry : kAddressCaptions) {
        if (entry.command == command)
            return entry.caption;
    }
    return "";
}

bool IsAddressCommand(EditorCommand command) {
    return std::any_of(kAddressCaptions.begin(), kAddressCaptions.end(),
                       [command](const MenuCaption& entry) { return entry.command == command; });
}

void AddCommand(QMenu& menu, EditorCommand command, const char* caption, bool enabled) {
    QAction* action = menu.addAction(QString::fromLatin1(caption));
    action->setData(CommandNumber(command));
    action->setEnabled(enabled);
}

}  // namespace

void CIlkaView::SetUpMouse() {
    viewport()->setMouseTracking(true);
    viewport()->setAcceptDrops(true);
    autoScroll_.setInterval(kAutoScrollPeriod);
    connect(&autoScroll_, &QTimer::timeout, this, [this] { AutoScroll(); });
    // The pointer comes back when the continuous scroll ends by itself.
    connect(&continuousScroll_, &QTimer::timeout, this,
            [this] { UpdatePointer(viewport()->mapFromGlobal(QCursor::pos())); });
}

void CIlkaView::SetDoubleClickActions(WebAddressAction web, MailAddressAction mail) {
    webAction_ = web;
    mailAction_ = mail;
}

CIlkaView::DisplayPlace CIlkaView::PlaceAt(QPoint point, bool cell) {
    const long top = editor_.TopRow();
    const long last =
        std::clamp(top + editor_.WindowRows() - 1, top, std::max(top, editor_.TotalRows() - 1));
    DisplayPlace place;
    place.row = std::clamp(RowAtY(point.y()), top, last);
    place.column = ColumnAtX(place.row, cell ? point.x() - metrics_.cellWidth / 2 : point.x());
    return place;
}

bool CIlkaView::InSelection(const DisplayPlace& place) {
    if (!editor_.HasSelection())
        return false;
    if (editor_.Selection() == SelectionMode::kBox) {
        // The list forms return values: the ends are temporaries.
        const auto [top, bottom] =
            std::minmax({editor_.SelectionStartRow(), editor_.SelectionEndRow()});
        const auto [left, right] =
            std::minmax({editor_.SelectionStartColumn(), editor_.SelectionEndColumn()});
        return place.row >= top && place.row <= bottom && place.column >= left &&
               place.column < right;
    }
    const TextPlace at = editor_.PlaceOfRow(place.row, place.column);
    const auto [from, to] = editor_.SelectedRange();
    return from <= at && at < to;
}

// The I-beam over text, the arrow over the selection, the line numbers and
// the gauge, a link pointer over an address; none while the text scrolls
// by itself.
void CIlkaView::UpdatePointer(QPoint point) {
    if (!viewport()->rect().contains(point))
        return;
    Qt::CursorShape shape = Qt::IBeamCursor;
    if (commands_.Scrolling()) {
        shape = Qt::BlankCursor;
    } else if (InGauge(point) || InLineNumberColumn(point)) {
        shape = Qt::ArrowCursor;
    } else if (editor_.Document() && RowAtY(point.y()) < editor_.TotalRows()) {
        const DisplayPlace place = PlaceAt(point, true);
        const TextPlace at = editor_.PlaceOfRow(place.row, place.column);
        const std::string_view line = editor_.LineView(at.line);
        if (InSelection(place))
            shape = Qt::ArrowCursor;
        else if (at.offset < line.size() &&
                 FindAddressAt(line, at.offset, editor_.TextCodePage()).kind !=
                     AddressAt::Kind::kNone)
            shape = Qt::PointingHandCursor;
    }
    if (viewport()->cursor().shape() != shape)
        viewport()->setCursor(shape);
}

void CIlkaView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mousePressEvent(event);
        return;
    }
    commands_.StopScrolling();
    continuousScroll_.stop();
    const QPoint point = event->position().toPoint();
    const DisplayPlace place = PlaceAt(point);
    editor_.PressAt(place.row, place.column, event->modifiers().testFlag(Qt::ShiftModifier));
    pressPoint_ = mousePoint_ = point;
    dragPending_ = editor_.Dragging();
    AfterInput();
    viewport()->update();
    UpdatePointer(point);
    event->accept();
}

void CIlkaView::mouseMoveEvent(QMouseEvent* event) {
    const QPoint point = event->position().toPoint();
    mousePoint_ = point;
    if (!event->buttons().testFlag(Qt::LeftButton)) {
        UpdatePointer(point);
        return;
    }
    if (dragPending_) {
        if ((point - pressPoint_).manhattanLength() >= QApplication::startDragDistance()) {
            dragPending_ = false;
            StartDrag();
        }
        return;
    }
    const DisplayPlace place = PlaceAt(point);
    editor_.DragTo(place.row, place.column);
    const long top = editor_.TopRow();
    const bool outside = point.y() < YOfRow(top) || point.y() >= YOfRow(top + editor_.WindowRows());
    if (!outside)
        autoScroll_.stop();
    else if (!autoScroll_.isActive())
        autoScroll_.start();
    AfterInput();
    viewport()->update();
}

void CIlkaView::AutoScroll() {
    const long top = editor_.TopRow();
    EditorCommand command = C::kNone;
    if (mousePoint_.y() < YOfRow(top))
        command = C::kSRollDown;
    else if (mousePoint_.y() >= YOfRow(top + editor_.WindowRows()))
        command = C::kSRollUp;
    if (command == C::kNone) {
        autoScroll_.stop();
        return;
    }
    commands_.SetKeyRepeat(0);
    commands_.Run(command);
    const DisplayPlace place = PlaceAt(mousePoint_);
    editor_.DragTo(place.row, place.column);
    AfterInput();
    viewport()->update();
}

void CIlkaView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mouseReleaseEvent(event);
        return;
    }
    autoScroll_.stop();
    dragPending_ = false;
    editor_.Release();
    AfterInput();
    viewport()->update();
    UpdatePointer(event->position().toPoint());
    event->accept();
}

AddressClick CIlkaView::ClickAt(QPoint point, bool cell) {
    editor_.CommitLine();
    const DisplayPlace place = PlaceAt(point, cell);
    const TextPlace at = editor_.PlaceOfRow(place.row, place.column);
    AddressClick click;
    click.lines.reserve(editor_.LineCount());
    for (std::size_t line = 0; line < editor_.LineCount(); ++line)
        click.lines.push_back(editor_.LineView(line));
    click.line = at.line;
    click.pos = at.offset;
    click.selectionActive = editor_.HasSelection();
    click.inLineNumbers = InLineNumberColumn(point);
    click.webAction = webAction_;
    click.mailAction = mailAction_;
    return click;
}

void CIlkaView::CarryOut(const AddressDecision& decision, std::size_t line, bool shift) {
    using Action = AddressDecision::Action;
    const CodePage& codePage = editor_.TextCodePage();
    switch (decision.action) {
        case Action::kNone:
            break;
        case Action::kClearSelection:
            editor_.ClearSelection();
            break;
        case Action::kOpenUrl:
            OpenWebAddress(decision.address, dialogs_);
            break;
        case Action::kWriteTo:
            emit WriteToAddress(ToQString(decision.address, codePage), shift);
            break;
        case Action::kAddToAddressBook:
            emit AddToAddressBook(ToQString(decision.address, codePage),
                                  ToQString(decision.displayName, codePage),
                                  ToQString(decision.webAddresses, codePage));
            break;
        case Action::kSelect:
            editor_.SelectRange({line, decision.from}, {line, decision.to});
            break;
    }
    AfterInput();
    viewport()->update();
}

void CIlkaView::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !editor_.Document()) {
        QAbstractScrollArea::mouseDoubleClickEvent(event);
        return;
    }
    commands_.StopScrolling();
    continuousScroll_.stop();
    const AddressClick click = ClickAt(event->position().toPoint(), false);
    const AddressDecision decision = DecideDoubleClick(
        click, RowMetrics{&editor_.TextCodePage(), editor_.TabWidth(), editor_.WrapWidth()},
        options_.kinsoku);
    CarryOut(decision, click.line, event->modifiers().testFlag(Qt::ShiftModifier));
    event->accept();
}

QMenu* CIlkaView::MakeContextMenu(QPoint point) {
    auto* menu = new QMenu(this);
    AddressMenu kind = AddressMenu::kNone;
    if (editor_.Document()) {
        const DisplayPlace place = PlaceAt(point, true);
        const TextPlace at = editor_.PlaceOfRow(place.row, place.column);
        kind = AddressMenuAt(editor_.LineView(at.line), at.offset, editor_.TextCodePage());
    }
    if (kind != AddressMenu::kNone) {
        for (const EditorCommand command : AddressMenuCommands(kind))
            AddCommand(*menu, command, AddressCaption(command), true);
        return menu;
    }
    const bool editable = !editor_.ReadOnly() && editor_.Document();
    const bool selection = editor_.HasSelection();
    for (const MenuCaption& entry : kEditingCaptions) {
        bool enabled = editor_.Document() != nullptr;
        switch (entry.command) {
            case C::kNone:
                menu->addSeparator();
                continue;
            case C::kUndo:
                enabled = editable && editor_.UndoCount() > 0;
                break;
            case C::kEditCut:
                enabled = editable && selection;
                break;
            case C::kEditCopy:
                enabled = selection;
                break;
            case C::kEditPaste:
                enabled = editable && !QGuiApplication::clipboard()->text().isEmpty();
                break;
            default:
                break;
        }
        AddCommand(*menu, entry.command, entry.caption, enabled);
    }
    return menu;
}

void CIlkaView::RunContextCommand(EditorCommand command, QPoint point, bool shift) {
    if (!IsAddressCommand(command)) {
        RunCommand(command);
        viewport()->update();
        return;
    }
    if (!editor_.Document())
        return;
    const AddressClick click = ClickAt(point, true);
    const AddressDecision decision = DecideAddressMenuCommand(
        command, click,
        RowMetrics{&editor_.TextCodePage(), editor_.TabWidth(), editor_.WrapWidth()},
        options_.kinsoku);
    CarryOut(decision, click.line, shift);
}

void CIlkaView::contextMenuEvent(QContextMenuEvent* event) {
    QPoint point = event->pos();
    if (event->reason() != QContextMenuEvent::Mouse) {
        // From the keyboard: at the caret.
        const long row = editor_.CaretRow();
        point =
            QPoint(XOfColumn(row, editor_.VirtualColumn()), YOfRow(row) + metrics_.rowHeight / 2);
    }
    QMenu* menu = MakeContextMenu(point);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    connect(menu, &QMenu::triggered, this, [this, point](QAction* action) {
        RunContextCommand(static_cast<EditorCommand>(action->data().toInt()), point,
                          QGuiApplication::keyboardModifiers().testFlag(Qt::ShiftModifier));
    });
    menu->popup(event->reason() == QContextMenuEvent::Mouse ? event->globalPos()
                                                            : viewport()->mapToGlobal(point));
    event->accept();
}

// The model decides what a drop does; a drag that ends outside every view
// (or is refused) only clears the selection.
void CIlkaView::StartDrag() {
    auto* data = new ViewDragData(*this, ToQString(editor_.DraggedText(), editor_.TextCodePage()));
    auto* drag = new QDrag(this);
    drag->setMimeData(data);
    QPointer<CIlkaView> self(this);
    drag->exec(Qt::CopyAction | Qt::MoveAction, Qt::MoveAction);
    if (!self)
        return;
    editor_.Release();
    AfterInput();
    viewport()->update();
}

namespace {

// The view a drop comes from; null for text from another program (or from
// a view that is gone).
CIlkaView* SourceView(const QMimeData* data) {
    const auto* viewData = dynamic_cast<const ViewDragData*>(data);
    return viewData != nullptr ? viewData->Source() : nullptr;
}

Qt::DropAction ActionOf(const QDropEvent& event) {
    if (SourceView(event.mimeData()) == nullptr)
        return Qt::CopyAction;  // another program keeps its text
    return event.modifiers().testFlag(Qt::ControlModifier) ? Qt::CopyAction : Qt::MoveAction;
}

}  // namespace

void CIlkaView::dragEnterEvent(QDragEnterEvent* event) {
    setFocus(Qt::MouseFocusReason);
    dragMoveEvent(event);
}

void CIlkaView::dragMoveEvent(QDragMoveEvent* event) {
    const bool takes = !editor_.ReadOnly() && editor_.Document() &&
                       (SourceView(event->mimeData()) != nullptr || event->mimeData()->hasText());
    if (!takes) {
        event->ignore();
        return;
    }
    event->setDropAction(ActionOf(*event));
    event->accept();
}

void CIlkaView::dropEvent(QDropEvent* event) {
    const DisplayPlace place = PlaceAt(event->position().toPoint());
    const Qt::DropAction action = ActionOf(*event);
    if (CIlkaView* source = SourceView(event->mimeData())) {
        editor_.DropAt(source->Editor(), place.row, place.column, action == Qt::CopyAction);
        if (source != this) {
            source->AfterInput();
            source->viewport()->update();
        }
    } else if (event->mimeData()->hasText()) {
        editor_.DropTextAt(FromQString(event->mimeData()->text(), editor_.TextCodePage()),
                           place.row, place.column);
    }
    event->setDropAction(action);
    event->accept();
    AfterInput();
    viewport()->update();
}

}  // namespace corvina
