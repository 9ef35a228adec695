#pragma once
// How an editor document prints: the header and footer templates, the
// block of message header lines, the page geometry in device pixels, and
// the printed rows of the text at the print wrap width. The printer widget
// only draws what this lays out; device sizes come in as numbers.

#include <cstddef>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "editor/RowContent.h"

namespace corvina {

class CodePage;
class MailMessage;
class TextEditor;
struct EditorOptions;

// What the template codes stand for on one page (text in the working code
// page).
struct PrintTemplateFields {
    std::string subject;
    std::string from;
    std::tm localTime{};  // when printing began
    int page = 1;
};

inline constexpr std::size_t kMaxPrintTemplateBytes = 2048;

// The Header or Footer template with its codes replaced: "&&" an "&", "&d"
// the date ("2026/12/09"), "&t" a space and the time (" 14:05:09"), "&f"
// the subject or "Untitled", "&n" the sender or "Untitled", "&w" the
// subject, "&p" the page number. Any other character after "&" is dropped
// with it. At most kMaxPrintTemplateBytes bytes, cut at a whole character.
std::string ExpandPrintTemplate(std::string_view pattern, const PrintTemplateFields& fields,
                                const CodePage& codePage);

// The header block above the text: "Date: ", "From: ", "Subject: " and,
// when the message has a Cc, "Cc: " with the message's fields.
std::vector<std::string> PrintHeaderLines(const MailMessage& message);

// Left edge x of a text `textWidth` wide between left and right by the
// HeadAlign or FootAlign setting: 0 left, 1 centred, 2 right less one
// character width; any other value counts as 0.
int AlignedX(int alignment, int left, int right, int textWidth, int charWidth);

// The printable area of a page and the print font, in device pixels.
struct PrintDevice {
    int width = 0;  // printable area
    int height = 0;
    int widthMm = 0;  // the same in whole millimetres
    int heightMm = 0;
    int dpiY = 0;         // device pixels per inch
    int screenDpiY = 96;  // the screen pixels PrintSpacing is given in
    int fontHeight = 0;   // of the print font
    int charWidth = 0;    // its average character width
};

// Where everything of a page goes, relative to the top left of the
// printable area. The header template sits on the top edge (above the top
// margin), the footer on the line kept free at the bottom of the text
// rectangle, the header block and its rule at the top of the rectangle,
// then the columns of rows.
struct PageLayout {
    int marginLeft = 0, marginTop = 0, marginRight = 0, marginBottom = 0;
    int lineHeight = 1;  // font height + line spacing
    int wrapWidth = 80;  // columns of one printed row
    int textLeft = 0, textTop = 0, textRight = 0, textBottom = 0;
    int headerLines = 3;
    int ruleY = 0;
    int rowsTop = 0;
    int rowsPerColumn = 1;
    int columns = 1;  // text columns per page
    int columnWidth = 0;
    int footerTop = 0;

    long RowsPerPage() const { return static_cast<long>(rowsPerColumn) * columns; }
    // First printed row of page `page` (from 1).
    long FirstRowOfPage(int page) const { return RowsPerPage() * (page - 1); }
    // Pages for `totalRows` printed rows; an empty text still prints one.
    int PageCount(long totalRows) const;
    int HeaderLineTop(int index) const { return textTop + index * lineHeight; }
    int RowTop(int index) const { return rowsTop + index * lineHeight; }
    int ColumnLeft(int column) const { return textLeft + column * columnWidth; }
};

// The page of `device` for the print settings of `options` (margins,
// PrintSpacing, PackPrint); screenWrapWidth is the wrap width of the view
// being printed, headerLines the size of the header block. Nothing when
// the page cannot hold one row of text with these margins and this font.
std::optional<PageLayout> LayOutPage(const PrintDevice& device, const EditorOptions& options,
                                     int screenWrapWidth, int headerLines);

// The display rows of an editor's text at the print wrap width, measured
// by the editor's own rules (its code page and TAB width) without touching
// the editor's rows, caret or scroll position. The editor's text must not
// change while this is used.
class PrintRows {
public:
    PrintRows(const TextEditor& editor, const EditorOptions& options, int wrapWidth);

    long Count() const { return static_cast<long>(rows_.size()); }
    // Printed row `row` (0 <= row < Count()): no marks, control bytes and a
    // wide character that does not fit the last column as blanks, TABs as
    // blanks to their stop, padded with blanks to the wrap width; the
    // cells of a marked line are bold.
    void Build(long row, DisplayRow& out);

private:
    struct Place {
        std::size_t line = 0;
        std::size_t rowStart = 0;
    };

    const TextEditor& editor_;
    const EditorOptions& options_;
    int wrapWidth_;
    RowContent content_;
    std::vector<Place> rows_;
    // Rows of one line are printed one after another: its text is taken
    // once.
    std::string lineText_;
    std::size_t cachedLine_ = static_cast<std::size_t>(-1);
};

}  // namespace corvina
