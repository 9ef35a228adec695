#pragma once
// Printing the document of an editor view: the print dialog, the print
// preview and the pages themselves. PrintLayout lays every page out; this
// file measures the print font and draws. The print font is PrintFont at
// PrintFontHeight pixels of a 96-dpi screen (18 gives 13.5 points), in a
// normal and a bold weight.

#include <QFont>
#include <QImage>
#include <QString>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "editor/PrintLayout.h"

class QPageLayout;
class QPainter;
class QPrinter;
class QWidget;

namespace corvina {

class CIlkaView;

// Prints the document of `view` on `printer`, its page range only when the
// print dialog set one. The view's caret, scroll position and wrap width
// stay as they are. False, with a message for the user in *error, when
// there is nothing to print, the printer cannot start, or the page cannot
// hold a row of text.
bool PrintDocument(CIlkaView& view, QPrinter& printer, QString* error = nullptr);

// The frame's "Print" and "PrintPreview" commands: the standard dialogs,
// failures in a message box.
void ShowPrintDialog(CIlkaView& view, QWidget* parent);
void ShowPrintPreview(CIlkaView& view, QWidget* parent);

// The pages of one view's document on one paint device.
class ViewPrinter {
public:
    // `now` is the time the "&d" and "&t" codes print.
    ViewPrinter(CIlkaView& view, const std::tm& now);
    ~ViewPrinter();
    ViewPrinter(const ViewPrinter&) = delete;
    ViewPrinter& operator=(const ViewPrinter&) = delete;

    // Lays the document out on the printable area of `page` at `dpi`
    // device pixels per inch; false with the reason in *error.
    bool Prepare(int dpi, const QPageLayout& page, QString* error);
    int PageCount() const;
    // Draws page `page` (from 1); the painter's origin is the top left of
    // the printable area.
    void PaintPage(QPainter& painter, int page);

    // Page `page` as it prints on `printer`, drawn to scale onto a white
    // image of the whole sheet at `dpi` dots per inch by the same painter:
    // what the print preview shows. A null image when the page cannot be
    // laid out.
    static QImage RenderPage(CIlkaView& view, const QPrinter& printer, int page, int dpi,
                             const std::tm& now);

private:
    void DrawAligned(QPainter& painter, const std::string& text, int alignment, int top);
    void DrawRow(QPainter& painter, const DisplayRow& row, int left, int top);

    CIlkaView& view_;
    PrintTemplateFields fields_;
    std::vector<std::string> headerLines_;
    QFont font_;
    QFont boldFont_;
    bool doubleStrike_ = false;
    int dpi_ = 0;
    int ascent_ = 0;
    int charWidth_ = 1;
    PageLayout page_;
    std::unique_ptr<PrintRows> rows_;
    DisplayRow row_;
};

}  // namespace corvina
