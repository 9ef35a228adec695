#pragma once
// The editor component's settings: one process-wide set shared by every
// editor view, read once at start-up from the editor's settings file
// (sections Settings, Options, Colors, Others, Fonts). Every field starts
// at its default, so a missing file or key leaves the default.

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>

namespace corvina {

struct Rgb {
    std::uint8_t red = 0, green = 0, blue = 0;
    bool operator==(const Rgb&) const = default;
};

// The colour roles of the text area; EditorColors::keyword holds the 16
// keyword colours apart.
struct EditorColors {
    Rgb text{0, 0, 0};                  // TextColor
    Rgb back{255, 255, 255};            // BackColor
    Rgb lineNumberBack{255, 255, 255};  // LBakColor
    Rgb mark{0, 0, 192};                // MarkColor: text of marked lines
    Rgb eof{127, 0, 0};                 // EOFColor
    Rgb lineEnd{127, 0, 0};             // CRColor
    Rgb tab{192, 192, 192};             // TABColor
    Rgb control{192, 0, 192};           // CtrlColor
    Rgb lineNumber{0, 0, 127};          // LnumColor
    Rgb gauge{0, 0, 127};               // GaugColor
    Rgb gaugeBack{192, 192, 192};       // GbakColor
    Rgb underline{0, 0, 192};           // UlinColor
    Rgb changed{192, 0, 192};           // ChngColor
    Rgb html{127, 0, 127};              // HTMLColor
    std::array<Rgb, 16> keyword{[] {
        std::array<Rgb, 16> all{};
        all.fill(Rgb{0, 0, 192});
        return all;
    }()};  // Key0Color .. KeyFColor

    bool operator==(const EditorColors&) const = default;
};

// Character sets of the line breaking rules and of title lines, in the
// working code page (section Others). An empty value in the file means the
// built-in set.
struct KinsokuSets {
    std::string ankDelimiter;   // single-byte word delimiters
    std::string dbcsDelimiter;  // double-byte (wide) word delimiters
    std::string ankOida;        // single-byte characters that may not end a line
    std::string ankBura;        // single-byte characters that may hang at the end
    std::string dbcsOida;       // wide characters that may not end a line
    std::string dbcsBura;       // wide characters that may hang at the end
    std::string ankTitle;       // single-byte characters that start a title line
    std::string dbcsTitle;      // wide characters that start a title line
};

struct EditorOptions {
    // Settings
    int defaultTab = 8;      // DefaultTAB
    int defaultColumn = 80;  // DefaultColumn: wrap width of display rows
    int autoSplitCol = 73;   // AutoSplitCol
    int rollTimer = 101;     // RollTimer
    int printSpacing = 0;    // PrintSpacing
    int fkeyMode = 0;        // FkeyMode
    int accMode = 1;         // AccMode
    int accRpt = 30;         // AccRpt
    int wideLine = 0;        // WideLine
    std::string header;      // Header (print template)
    std::string footer;      // Footer
    int headAlign = 0;       // HeadAlign
    int footAlign = 0;       // FootAlign
    int packPrint = 0;       // PackPrint
    int printTop = 10, printBottom = 10, printLeft = 10, printRight = 10;
    std::string keyDefinition = "Ilka.KEY";  // KeyDefinition

    // Options (true = 1)
    bool autoInd = false;
    bool dSpcInd = false;
    bool softTab = false;
    bool insertMode = true;  // false = overwrite
    bool eolOverCsr = false;
    bool freeCursor = false;
    bool fillByTab = false;
    bool delSpace = false;
    bool autoSplit = true;
    bool jumpCenter = true;
    bool tabDisplay = true;
    bool dSpcDisplay = true;
    bool underLine = false;
    bool nonLogicalLine = true;
    bool columnGauge = true;
    bool addEof = false;
    bool mirroring = false;
    bool saveMarkInfo = true;
    bool cCppMode = true;
    bool boxCursor = true;
    bool shiftSelect = true;
    bool selectFind = true;
    bool keyWords = true;
    bool keyBold = false;
    bool shiftJis = true;
    bool savePlace = true;
    bool fixWindow = false;
    bool crDisplay = true;
    bool eofDisplay = true;
    bool maximized = true;
    bool undoReset = true;
    bool callFiler = false;
    bool hScrollBar = false;
    bool vScrollBar = true;
    bool showWall = false;
    bool linePointer = true;
    bool dispFkey = false;
    bool accell = true;

    EditorColors colors;
    KinsokuSets kinsoku;  // filled with the built-in sets by LoadEditorOptions

    // Fonts (names as the settings file gives them; the view maps them to
    // installed fonts).
    std::string textFont;
    int textFontHeight = 18;
    std::string printFont;
    int printFontHeight = 18;
    std::string statBarFont;
    int statBarFontHeight = 16;
};

}  // namespace corvina
