#include "ui/editor/CIlkaView.h"

#include <QApplication>
#include <QClipboard>
#include <QInputDialog>
#include <QScrollBar>
#include <algorithm>

#include "common/CodePage.h"
#include "editor/EditorIndicators.h"
#include "editor/EditorOptions.h"
#include "message/MailMessage.h"
#include "ui/bridge/QtText.h"

namespace corvina {

CIlkaView::CIlkaView(const EditorOptions& options, const KeywordTable* keywords,
                     EditorDialogs& dialogs, QWidget* parent)
    : QAbstractScrollArea(parent),
      options_(options),
      keywords_(keywords),
      dialogs_(dialogs),
      editor_(*this, options),
      dispatcher_(editor_, *this, options),
      commands_(editor_, *this, dialogs, options),
      rowContent_(options, keywords, RowMetrics{&CodePage::Working(), options.defaultTab,
                                                options.defaultColumn},
                  RowStyle{}) {
    editor_.SetWatcher(this);
    dispatcher_.SetViewCommandSink([this](EditorCommand command) {
        commands_.SetKeyRepeat(dispatcher_.KeyRepeat());
        commands_.Run(command);
    });
    dispatcher_.SetStopContinuousScroll([this] {
        commands_.StopScrolling();
        continuousScroll_.stop();
    });
    connect(&continuousScroll_, &QTimer::timeout, this, [this] {
        commands_.Tick();
        AfterInput();
    });

    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_InputMethodEnabled);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    viewport()->setCursor(Qt::IBeamCursor);
    setVerticalScrollBarPolicy(options.vScrollBar ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
    setHorizontalScrollBarPolicy(options.hScrollBar ? Qt::ScrollBarAsNeeded
                                                    : Qt::ScrollBarAlwaysOff);
    UpdateMetrics();
    SetUpMouse();
}

CIlkaView::~CIlkaView() = default;

void CIlkaView::Attach(MailMessage& document) {
    editor_.Attach(document);
    ownedDocument_.reset();
    viewport()->update();
    AfterInput();
}

void CIlkaView::Attach(std::unique_ptr<MailMessage> document) {
    if (!document)
        return;
    // The editor lets go of the old document before the view frees it.
    editor_.Attach(*document);
    ownedDocument_ = std::move(document);
    viewport()->update();
    AfterInput();
}

void CIlkaView::SetReadOnly(bool readOnly) {
    editor_.SetReadOnly(readOnly);
    RowStyle style;
    style.readOnly = readOnly;
    style.fixedPitch = !metrics_.proportional;
    rowContent_.SetStyle(style);
    viewport()->update();
}

void CIlkaView::SetShowLineNumbers(bool on) {
    showLineNumbers_ = on;
    viewport()->update();
    SyncScrollBars();
}

void CIlkaView::SetShowChangedLines(bool on) {
    showChangedLines_ = on;
    viewport()->update();
}

bool CIlkaView::RunCommand(EditorCommand command) {
    const bool handled = commands_.Run(command);
    AfterInput();
    return handled;
}

// --- EditorHost

std::string CIlkaView::ClipboardText() {
    return QGuiApplication::clipboard()->text().toUtf8().toStdString();
}

void CIlkaView::SetClipboardText(std::string_view utf8) {
    QGuiApplication::clipboard()->setText(
        QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())));
}

void CIlkaView::Beep() { QApplication::beep(); }

void CIlkaView::ShowStatus(std::string_view text) { emit StatusMessage(ToQString(text)); }

void CIlkaView::RedrawRows(long first, long last) {
    const long top = editor_.TopRow();
    const long bottom = top + editor_.WindowRows();
    if (last < top || first > bottom)
        return;
    const int y0 = YOfRow(std::max(first, top));
    const int y1 = YOfRow(std::min(last, bottom) + 1);
    // The margin and line numbers belong to the row too.
    viewport()->update(QRect(0, y0, viewport()->width(), y1 - y0));
}

void CIlkaView::RedrawAll() { viewport()->update(); }

void CIlkaView::EnsureCaretVisible() {
    const long row = editor_.CaretRow();
    const long top = editor_.TopRow();
    const int rows = std::max(1, editor_.WindowRows());
    if (row < top)
        editor_.ScrollTo(row);
    else if (row >= top + rows)
        editor_.ScrollTo(row - rows + 1);

    const int textWidth = viewport()->width() - metrics_.TextLeft(showLineNumbers_);
    const int visibleColumns = std::max(1, textWidth / std::max(1, metrics_.cellWidth));
    const int column = editor_.VirtualColumn();
    if (column < editor_.LeftColumn())
        editor_.SetLeftColumn(column);
    else if (column >= editor_.LeftColumn() + visibleColumns)
        editor_.SetLeftColumn(column - visibleColumns + 1);
}

bool CIlkaView::AskString(std::string_view prompt, std::string& value) {
    bool ok = false;
    const QString answer = QInputDialog::getText(this, QApplication::applicationDisplayName(),
                                                 ToQString(prompt), QLineEdit::Normal,
                                                 ToQString(value), &ok);
    if (ok)
        value = FromQString(answer);
    return ok;
}

void CIlkaView::PostFrameCommand(int commandId) { emit FrameCommand(commandId); }

bool CIlkaView::SelectAdjacentMessage(bool next) {
    return adjacentMessage_ && adjacentMessage_(next);
}

void CIlkaView::DocumentModified(const MailMessage&) { emit DocumentChanged(); }

// --- the model and scrolling

void CIlkaView::AfterInput() {
    EnsureCaretVisible();
    SyncScrollBars();
    UpdateIndicators();
    StartOrStopContinuousScroll();
    UpdateCaretArea();
}

void CIlkaView::SyncScrollBars() {
    syncingScrollBars_ = true;
    const long total = editor_.TotalRows();
    const int rows = std::max(1, editor_.WindowRows());
    QScrollBar* vertical = verticalScrollBar();
    vertical->setRange(0, static_cast<int>(std::max<long>(0, total - rows)));
    vertical->setPageStep(rows);
    vertical->setSingleStep(1);
    vertical->setValue(static_cast<int>(editor_.TopRow()));

    const int textWidth = viewport()->width() - metrics_.TextLeft(showLineNumbers_);
    const int visibleColumns = std::max(1, textWidth / std::max(1, metrics_.cellWidth));
    QScrollBar* horizontal = horizontalScrollBar();
    horizontal->setRange(0, std::max(0, editor_.WrapWidth() - visibleColumns));
    horizontal->setPageStep(visibleColumns);
    horizontal->setValue(editor_.LeftColumn());
    syncingScrollBars_ = false;
}

void CIlkaView::scrollContentsBy(int, int) {
    if (syncingScrollBars_)
        return;
    editor_.ScrollTo(verticalScrollBar()->value());
    editor_.SetLeftColumn(horizontalScrollBar()->value());
    viewport()->update();
}

void CIlkaView::UpdateIndicators() {
    QString position;
    QString code;
    if (editor_.Document()) {
        const std::size_t line = editor_.CaretLine();
        position = ToQString(PositionText(editor_.CaretRow(), editor_.VirtualColumn(), line,
                                          hasFocus()));
        code = ToQString(CharacterCodeText(editor_.LineText(line), editor_.CaretOffset(),
                                           line + 1 == editor_.LineCount(),
                                           editor_.TextCodePage()));
    }
    if (position != positionText_) {
        positionText_ = position;
        emit PositionChanged(position);
    }
    if (code != characterCode_) {
        characterCode_ = code;
        emit CharacterCodeChanged(code);
    }
}

void CIlkaView::StartOrStopContinuousScroll() {
    if (!commands_.Scrolling()) {
        continuousScroll_.stop();
        return;
    }
    if (!continuousScroll_.isActive() || continuousScroll_.interval() != commands_.ScrollPeriod())
        continuousScroll_.start(commands_.ScrollPeriod());
}

}  // namespace corvina
