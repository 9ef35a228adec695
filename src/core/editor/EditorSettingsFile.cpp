#include "editor/EditorSettingsFile.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <string_view>
#include <system_error>

#include "common/CodePage.h"
#include "common/IniFile.h"

namespace corvina {
namespace {

struct IntSetting {
    const char* key;
    int EditorOptions::*field;
};

constexpr IntSetting kIntSettings[] = {
    {"DefaultTAB", &EditorOptions::defaultTab},
    {"DefaultColumn", &EditorOptions::defaultColumn},
    {"AutoSplitCol", &EditorOptions::autoSplitCol},
    {"RollTimer", &EditorOptions::rollTimer},
    {"PrintSpacing", &EditorOptions::printSpacing},
    {"FkeyMode", &EditorOptions::fkeyMode},
    {"AccMode", &EditorOptions::accMode},
    {"AccRpt", &EditorOptions::accRpt},
    {"WideLine", &EditorOptions::wideLine},
    {"HeadAlign", &EditorOptions::headAlign},
    {"FootAlign", &EditorOptions::footAlign},
    {"PackPrint", &EditorOptions::packPrint},
    {"PrintTop", &EditorOptions::printTop},
    {"PrintBottom", &EditorOptions::printBottom},
    {"PrintLeft", &EditorOptions::printLeft},
    {"PrintRight", &EditorOptions::printRight},
};

struct TextSetting {
    const char* key;
    std::string EditorOptions::*field;
};

constexpr TextSetting kTextSettings[] = {
    {"Header", &EditorOptions::header},
    {"Footer", &EditorOptions::footer},
    {"KeyDefinition", &EditorOptions::keyDefinition},
};

struct OptionSetting {
    const char* key;
    bool EditorOptions::*field;
};

constexpr OptionSetting kOptions[] = {
    {"AutoInd", &EditorOptions::autoInd},
    {"DSpcInd", &EditorOptions::dSpcInd},
    {"SoftTAB", &EditorOptions::softTab},
    {"InsertMode", &EditorOptions::insertMode},
    {"EOLOverCsr", &EditorOptions::eolOverCsr},
    {"FreeCursor", &EditorOptions::freeCursor},
    {"FillByTAB", &EditorOptions::fillByTab},
    {"DelSpace", &EditorOptions::delSpace},
    {"AutoSplit", &EditorOptions::autoSplit},
    {"JumpCenter", &EditorOptions::jumpCenter},
    {"TabDisplay", &EditorOptions::tabDisplay},
    {"DSpcDisplay", &EditorOptions::dSpcDisplay},
    {"UnderLine", &EditorOptions::underLine},
    {"NonLogicalLine", &EditorOptions::nonLogicalLine},
    {"ColumnGauge", &EditorOptions::columnGauge},
    {"AddEOF", &EditorOptions::addEof},
    {"Mirroring", &EditorOptions::mirroring},
    {"SaveMarkInfo", &EditorOptions::saveMarkInfo},
    {"C_CppMode", &EditorOptions::cCppMode},
    {"BoxCursor", &EditorOptions::boxCursor},
    {"ShiftSelect", &EditorOptions::shiftSelect},
    {"SelectFind", &EditorOptions::selectFind},
    {"KeyWords", &EditorOptions::keyWords},
    {"KeyBold", &EditorOptions::keyBold},
    {"ShiftJIS", &EditorOptions::shiftJis},
    {"SavePlace", &EditorOptions::savePlace},
    {"FixWindow", &EditorOptions::fixWindow},
    {"CRDisplay", &EditorOptions::crDisplay},
    {"EOFDisplay", &EditorOptions::eofDisplay},
    {"Maximized", &EditorOptions::maximized},
    {"UndoReset", &EditorOptions::undoReset},
    {"CallFiler", &EditorOptions::callFiler},
    {"HScrollBar", &EditorOptions::hScrollBar},
    {"VScrollBar", &EditorOptions::vScrollBar},
    {"ShowWall", &EditorOptions::showWall},
    {"LinePointer", &EditorOptions::linePointer},
    {"DispFkey", &EditorOptions::dispFkey},
    {"Accell", &EditorOptions::accell},
};

struct ColorSetting {
    const char* key;
    Rgb EditorColors::*field;
};

constexpr ColorSetting kColors[] = {
    {"TextColor", &EditorColors::text},
    {"BackColor", &EditorColors::back},
    {"LBakColor", &EditorColors::lineNumberBack},
    {"MarkColor", &EditorColors::mark},
    {"EOFColor", &EditorColors::eof},
    {"CRColor", &EditorColors::lineEnd},
    {"TABColor", &EditorColors::tab},
    {"CtrlColor", &EditorColors::control},
    {"LnumColor", &EditorColors::lineNumber},
    {"GaugColor", &EditorColors::gauge},
    {"GbakColor", &EditorColors::gaugeBack},
    {"UlinColor", &EditorColors::underline},
    {"ChngColor", &EditorColors::changed},
    {"HTMLColor", &EditorColors::html},
};

// The sets as the string table has them, in UTF-8. `japanese` is what the
// Japanese table adds (half-width katakana, which only 932 holds as single
// bytes).
struct BuiltInSet {
    const char* key;
    std::string KinsokuSets::*field;
    const char* common;
    const char* japanese;
};

const BuiltInSet kBuiltInSets[] = {
    {"ANKDelimiter", &KinsokuSets::ankDelimiter, "\"'/+*-=|~`,.?!;:[]{}()<>",
     "\uFF65\uFF64\uFF61\uFF62\uFF63"},
    {"DBCSDelimiter", &KinsokuSets::dbcsDelimiter,
     "、。，．・：；？！゛゜´｀¨＾￣＿―‐／＼＋＊＝～∥｜…‥‘’“”（）〔〕［］｛｝〈〉《》「」『』【】≪"
     "≫",
     ""},
    {"ANKOida", &KinsokuSets::ankOida, "([{", "\uFF62"},
    {"ANKBura", &KinsokuSets::ankBura, ")]},.\uFF9F\uFF9E?!\"'", "\uFF63\uFF64\uFF61\uFF70"},
    {"DBCSOida", &KinsokuSets::dbcsOida, "（［｛「〔《『【〈≪‘“", ""},
    {"DBCSBura", &KinsokuSets::dbcsBura,
     "、。，．？！゛゜～…‥’”）〕］｝〉》」』】≫ーぁぃぅぇぉっゃゅょァィゥェォッャュョ", ""},
    {"ANKTitle", &KinsokuSets::ankTitle, "", ""},
    {"DBCSTitle", &KinsokuSets::dbcsTitle, "", ""},
};

// UTF-8 text in code page `cp`, character by character, leaving out what
// the code page cannot hold.
std::string FromUtf8Dropping(std::string_view utf8, const CodePage& cp) {
    if (cp.IsUtf8()) {
        return std::string(utf8);
    }
    const CodePage& source = CodePage::Get(CodePage::kUtf8);
    std::string out;
    for (std::size_t pos = 0; pos < utf8.size();) {
        const std::size_t length = std::max(1, source.CharLength(utf8, pos));
        const std::string_view character = utf8.substr(pos, length);
        const std::string converted = cp.FromUtf8(character);
        if (converted != "?" || character == "?") {
            out += converted;
        }
        pos += length;
    }
    return out;
}

Rgb ParseColor(const std::string& text) {
    int parts[3] = {0, 0, 0};
    std::sscanf(text.c_str(), "%3d %3d %3d", &parts[0], &parts[1], &parts[2]);
    const auto clamp = [](int v) { return static_cast<std::uint8_t>(std::clamp(v, 0, 255)); };
    return Rgb{clamp(parts[0]), clamp(parts[1]), clamp(parts[2])};
}

void ReadFont(const IniFile& ini, const char* nameKey, const char* heightKey,
              std::string_view defaultName, int defaultHeight, std::string& name, int& height) {
    name = ini.GetString("Fonts", nameKey, defaultName);
    height = ini.GetInt("Fonts", heightKey, defaultHeight);
}

}  // namespace

KinsokuSets BuiltInKinsokuSets(int codePage) {
    const CodePage& cp = CodePage::Get(codePage);
    KinsokuSets sets;
    for (const BuiltInSet& set : kBuiltInSets) {
        std::string utf8 = set.common;
        if (cp.IsDbcs()) {
            utf8 += set.japanese;
        }
        sets.*set.field = FromUtf8Dropping(utf8, cp);
    }
    return sets;
}

bool LoadEditorOptions(const std::filesystem::path& settingsFile, int codePage,
                       EditorOptions& out) {
    IniFile ini;
    bool readable = true;
    if (!ini.Load(settingsFile)) {
        std::error_code ec;
        readable = !std::filesystem::exists(settingsFile, ec) && !ec;
        ini = IniFile();
    }
    const EditorOptions defaults;
    for (const IntSetting& s : kIntSettings) {
        out.*s.field = ini.GetInt("Settings", s.key, defaults.*s.field);
    }
    for (const TextSetting& s : kTextSettings) {
        out.*s.field = ini.GetString("Settings", s.key, defaults.*s.field);
    }
    for (const OptionSetting& s : kOptions) {
        out.*s.field = ini.GetInt("Options", s.key, defaults.*s.field ? 1 : 0) != 0;
    }
    for (const ColorSetting& s : kColors) {
        const auto value = ini.Get("Colors", s.key);
        out.colors.*s.field = value ? ParseColor(*value) : defaults.colors.*s.field;
    }
    for (int i = 0; i < 16; ++i) {
        char key[16];
        std::snprintf(key, sizeof key, "Key%1XColor", i);
        const auto value = ini.Get("Colors", key);
        out.colors.keyword[i] = value ? ParseColor(*value) : defaults.colors.keyword[i];
    }
    const KinsokuSets builtIn = BuiltInKinsokuSets(codePage);
    for (const BuiltInSet& set : kBuiltInSets) {
        std::string value = ini.GetString("Others", set.key, "");
        out.kinsoku.*set.field = value.empty() ? builtIn.*set.field : std::move(value);
    }

    const bool japanese = codePage == CodePage::kShiftJis;
    const std::string_view fixedFont = japanese ? "FixedSys" : "Courier";
    if (out.textFont.empty()) {
        ReadFont(ini, "TextFont", "TextFontHeight", fixedFont, defaults.textFontHeight,
                 out.textFont, out.textFontHeight);
    }
    if (out.printFont.empty()) {
        ReadFont(ini, "PrintFont", "PrintFontHeight", fixedFont, defaults.printFontHeight,
                 out.printFont, out.printFontHeight);
    }
    ReadFont(ini, "StatBarFont", "StatBarFontHeight", japanese ? "FixedSys" : "Courier New",
             japanese ? 14 : 16, out.statBarFont, out.statBarFontHeight);
    return readable;
}

}  // namespace corvina
