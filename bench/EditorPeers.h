#pragma once
// The editors the editor benchmark drives, behind one interface: the
// operations every side offers. The peers here, QScintilla and Qt's
// QTextDocument, take the body in UTF-8 and are built only when Qt (and
// QScintilla) are installed; ours lives in bench_editor.cpp. The view
// benchmark dresses its QScintilla with the same SetUpScintilla.

#include <benchmark/benchmark.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#ifdef CORVINA_HAVE_QT
#include <QAbstractScrollArea>
#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QString>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#endif

#ifdef CORVINA_HAVE_QSCINTILLA
#include <Qsci/qsciscintillabase.h>
#include <QByteArray>
#include <QImage>
#include <QSize>
#endif

namespace corvina::bench {

// The window the first screen fills: columns wide (the wrap width), rows
// high.
struct ScreenShape {
    int columns = 80;
    int rows = 60;
};

// One editor under measurement, driven through the operations every side
// offers. Lines are counted from 0.
class Subject {
public:
    virtual ~Subject() = default;
    virtual const char* Name() const = 0;
    // Called before each step: process-wide state the editor reads.
    virtual void Activate() {}
    virtual void Reset() = 0;
    // Attaches the body and computes the first screen of display rows.
    virtual void Load() = 0;
    // Heap that Load took from the editor's own free lists instead of malloc.
    virtual std::int64_t ReusedBytes() const { return 0; }
    // After loading, untimed: what the editing steps need set up.
    virtual void PrepareEditing() {}
    // Caret to the start or to the end (before the line end) of a line.
    virtual void MoveTo(std::size_t line, bool lineEnd) = 0;
    virtual void Type(char c) = 0;
    virtual void EndTyping() {}
    // Deletes the caret's line.
    virtual void DeleteLine() = 0;
    virtual bool Undo() = 0;
    virtual bool Redo() = 0;
    virtual std::string TextUtf8() = 0;
};

#ifdef CORVINA_HAVE_QT
// Shows a scroll area with its viewport, the part that shows text, exactly
// `size`: frame and scroll bars come on top of it.
inline void ShowWithViewportSize(QAbstractScrollArea& area, QSize size) {
    area.resize(size);
    area.show();
    QApplication::processEvents();
    for (int tries = 0; tries < 3 && area.viewport()->size() != size; ++tries) {
        area.resize(area.size() + size - area.viewport()->size());
        QApplication::processEvents();
    }
}
#endif

#ifdef CORVINA_HAVE_QSCINTILLA
// How a benchmark dresses QScintilla: the body's code page (65001 or 932),
// one font for every style (points 0: Scintilla's default size), and a
// line-number margin or none.
struct ScintillaLook {
    int codePage = 65001;
    QString fontFamily = QStringLiteral("Monospace");
    double fontPoints = 0;
    bool lineNumbers = false;
};

// Sets QScintilla up in UTF-8 or Shift_JIS with LF line ends, wrapping
// lines by character at the width of `screen.columns` characters of its
// font, `screen.rows` rows high, and shows it.
// Modification notices are switched off: QScintilla's accessibility bridge
// turns the byte position of every notice into a character count from the
// start of the text, which costs about 0.1 s per typed character at the end
// of a long body and would measure that bridge instead of the editor.
// Annotations are hidden, as a mail body has none: QsciScintilla shows them
// by default, and with wrapping on Scintilla then lays out every line of
// the text as it arrives (seconds for 100,000 lines) to learn its height.
inline void SetUpScintilla(QsciScintillaBase& view, const ScintillaLook& look, ScreenShape screen) {
    auto send = [&view](unsigned int message, unsigned long wParam = 0, long lParam = 0) {
        return view.SendScintilla(message, wParam, lParam);
    };
    send(QsciScintillaBase::SCI_SETMODEVENTMASK, 0);
    send(QsciScintillaBase::SCI_ANNOTATIONSETVISIBLE, QsciScintillaBase::ANNOTATION_HIDDEN);
    send(QsciScintillaBase::SCI_SETCODEPAGE,
         look.codePage == 932 ? 932 : QsciScintillaBase::SC_CP_UTF8);
    send(QsciScintillaBase::SCI_SETEOLMODE, QsciScintillaBase::SC_EOL_LF);
    const QByteArray family = look.fontFamily.toUtf8();
    view.SendScintilla(QsciScintillaBase::SCI_STYLESETFONT,
                       static_cast<uintptr_t>(QsciScintillaBase::STYLE_DEFAULT),
                       family.constData());
    if (look.fontPoints > 0) {
        send(QsciScintillaBase::SCI_STYLESETSIZEFRACTIONAL, QsciScintillaBase::STYLE_DEFAULT,
             static_cast<long>(look.fontPoints *
                                   static_cast<int>(QsciScintillaBase::SC_FONT_SIZE_MULTIPLIER) +
                               0.5));
    }
    send(QsciScintillaBase::SCI_STYLECLEARALL);
    long marginsWidth = 0;
    for (unsigned long margin = 0; margin < 5; ++margin) {
        send(QsciScintillaBase::SCI_SETMARGINWIDTHN, margin, 0);
    }
    if (look.lineNumbers) {
        send(QsciScintillaBase::SCI_SETMARGINTYPEN, 0, QsciScintillaBase::SC_MARGIN_NUMBER);
        marginsWidth = view.SendScintilla(
            QsciScintillaBase::SCI_TEXTWIDTH,
            static_cast<uintptr_t>(QsciScintillaBase::STYLE_LINENUMBER), "9999999");
        send(QsciScintillaBase::SCI_SETMARGINWIDTHN, 0, marginsWidth);
    }
    send(QsciScintillaBase::SCI_SETWRAPMODE, QsciScintillaBase::SC_WRAP_CHAR);
    // Scintilla wraps a few pixels short of the text area's edge: one
    // character more than the columns makes it wrap after exactly them.
    const QByteArray row(screen.columns, '0');
    const long rowWidth = view.SendScintilla(
        QsciScintillaBase::SCI_TEXTWIDTH, static_cast<uintptr_t>(QsciScintillaBase::STYLE_DEFAULT),
        row.constData());
    const long width = marginsWidth + send(QsciScintillaBase::SCI_GETMARGINLEFT) + rowWidth +
                       rowWidth / screen.columns + send(QsciScintillaBase::SCI_GETMARGINRIGHT);
    const long height = send(QsciScintillaBase::SCI_TEXTHEIGHT, 0);
    ShowWithViewportSize(view,
                         QSize(static_cast<int>(width), static_cast<int>(height * screen.rows)));
}

// QScintilla through Scintilla's own messages, as SetUpScintilla dresses
// it, without margins.
class ScintillaSubject final : public Subject {
public:
    ScintillaSubject(const std::string& utf8Body, ScreenShape screen) : body_(utf8Body) {
        SetUpScintilla(view_, ScintillaLook{}, screen);
    }

    const char* Name() const override { return "QScintilla"; }

    void Reset() override {
        Send(QsciScintillaBase::SCI_SETUNDOCOLLECTION, 0);
        Send(QsciScintillaBase::SCI_CLEARALL);
        Send(QsciScintillaBase::SCI_EMPTYUNDOBUFFER);
        Send(QsciScintillaBase::SCI_SETUNDOCOLLECTION, 1);
    }

    // As Scintilla's documentation loads a file: without undo collection,
    // then an empty history; then the first screen painted, which is when
    // Scintilla lays out and wraps the lines it shows.
    void Load() override {
        Send(QsciScintillaBase::SCI_SETUNDOCOLLECTION, 0);
        view_.SendScintilla(QsciScintillaBase::SCI_SETTEXT, body_.c_str());
        Send(QsciScintillaBase::SCI_SETUNDOCOLLECTION, 1);
        Send(QsciScintillaBase::SCI_EMPTYUNDOBUFFER);
        QImage screen(view_.size(), QImage::Format_RGB32);
        view_.render(&screen);
    }

    void MoveTo(std::size_t line, bool lineEnd) override {
        const long pos = Send(lineEnd ? QsciScintillaBase::SCI_GETLINEENDPOSITION
                                      : QsciScintillaBase::SCI_POSITIONFROMLINE,
                              line);
        Send(QsciScintillaBase::SCI_GOTOPOS, static_cast<unsigned long>(pos));
    }
    void Type(char c) override {
        const char text[2] = {c, '\0'};
        view_.SendScintilla(QsciScintillaBase::SCI_ADDTEXT, static_cast<uintptr_t>(1), text);
    }
    void DeleteLine() override { Send(QsciScintillaBase::SCI_LINEDELETE); }
    bool Undo() override {
        if (Send(QsciScintillaBase::SCI_CANUNDO) == 0) {
            return false;
        }
        Send(QsciScintillaBase::SCI_UNDO);
        return true;
    }
    bool Redo() override {
        if (Send(QsciScintillaBase::SCI_CANREDO) == 0) {
            return false;
        }
        Send(QsciScintillaBase::SCI_REDO);
        return true;
    }
    std::string TextUtf8() override {
        const long length = Send(QsciScintillaBase::SCI_GETLENGTH);
        std::string text(static_cast<std::size_t>(length) + 1, '\0');
        view_.SendScintilla(QsciScintillaBase::SCI_GETTEXT, static_cast<unsigned long>(length + 1),
                            static_cast<void*>(text.data()));
        text.resize(static_cast<std::size_t>(length));
        return text;
    }

private:
    long Send(unsigned int message, unsigned long wParam = 0, long lParam = 0) {
        return view_.SendScintilla(message, wParam, lParam);
    }

    const std::string& body_;
    QsciScintillaBase view_;
};
#endif

#ifdef CORVINA_HAVE_QT
// Qt's QTextDocument with a QTextCursor, laid out 80 characters of the
// fixed font wide (as a QTextEdit would) for the first screen. The edits
// run on the document alone, as the others' do on their models: with its
// layout attached, QTextDocument re-lays out each typed character's whole
// paragraph (tenths of a second a character in a body this long), which
// no run of this size could wait for.
class TextDocumentSubject final : public Subject {
public:
    TextDocumentSubject(const std::string& utf8Body, ScreenShape screen)
        : body_(utf8Body), screen_(screen) {}

    const char* Name() const override { return "QTextDocument"; }

    void Reset() override {
        cursor_ = QTextCursor();
        document_.reset();
    }

    // The body arrives as bytes, so its conversion to a QString counts.
    void Load() override {
        document_ = std::make_unique<QTextDocument>();
        const QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
        document_->setDefaultFont(font);
        document_->setTextWidth(QFontMetricsF(font).horizontalAdvance(QLatin1Char('0')) *
                                screen_.columns);
        QAbstractTextDocumentLayout* layout = document_->documentLayout();
        {
            const QString text =
                QString::fromUtf8(body_.data(), static_cast<qsizetype>(body_.size()));
            document_->setPlainText(text);
        }
        QTextBlock block = document_->begin();
        for (int i = 0; i < screen_.rows && block.isValid(); ++i) {
            benchmark::DoNotOptimize(layout->blockBoundingRect(block));
            block = block.next();
        }
        cursor_ = QTextCursor(document_.get());
    }
    // Deletes the layout; nothing asks the document for one again.
    void PrepareEditing() override { document_->setDocumentLayout(nullptr); }

    void MoveTo(std::size_t line, bool lineEnd) override {
        cursor_ = QTextCursor(document_->findBlockByNumber(static_cast<int>(line)));
        if (lineEnd) {
            cursor_.movePosition(QTextCursor::EndOfBlock);
        }
    }
    void Type(char c) override { cursor_.insertText(QString(QLatin1Char(c))); }
    void DeleteLine() override {
        cursor_.movePosition(QTextCursor::StartOfBlock);
        cursor_.movePosition(QTextCursor::NextBlock, QTextCursor::KeepAnchor);
        cursor_.removeSelectedText();
    }
    bool Undo() override {
        if (!document_->isUndoAvailable()) {
            return false;
        }
        document_->undo(&cursor_);
        return true;
    }
    bool Redo() override {
        if (!document_->isRedoAvailable()) {
            return false;
        }
        document_->redo(&cursor_);
        return true;
    }
    std::string TextUtf8() override { return document_->toPlainText().toUtf8().toStdString(); }

private:
    const std::string& body_;
    ScreenShape screen_;
    std::unique_ptr<QTextDocument> document_;
    QTextCursor cursor_;
};
#endif

}  // namespace corvina::bench
