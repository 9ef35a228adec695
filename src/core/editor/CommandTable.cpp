#include "editor/CommandTable.h"

#include <algorithm>

namespace corvina {
namespace {

using enum EditorCommand;

constexpr KeyCode Key(int vk) {
    return MakeKeyCode(kModNone, vk);
}
constexpr KeyCode Ctrl(int vk) {
    return MakeKeyCode(kModCtrl, vk);
}
constexpr KeyCode Shift(int vk) {
    return MakeKeyCode(kModShift, vk);
}
constexpr KeyCode Alt(int vk) {
    return MakeKeyCode(kModAlt, vk);
}
constexpr KeyCode SAlt(int vk) {
    return MakeKeyCode(kModShiftAlt, vk);
}
constexpr KeyCode CtrlK(char second) {
    return MakeTwoStrokeKey('K', second);
}
constexpr KeyCode CtrlQ(char second) {
    return MakeTwoStrokeKey('Q', second);
}
constexpr int F(int n) {
    return kVkF1 + n - 1;
}

// key 1, key 2, view command, frame command, name; in this order, which
// decides which row wins when two bind the same key.
constexpr std::array<CommandRow, kCommandRowCount> kCommandRows{{
    {Key(kVkUp), kNoKey, kCsrUp, kNone, "CsrUp"},
    {Key(kVkLeft), kNoKey, kCsrLeft, kNone, "CsrLeft"},
    {Key(kVkRight), kNoKey, kCsrRight, kNone, "CsrRight"},
    {Key(kVkDown), kNoKey, kCsrDown, kNone, "CsrDown"},
    {Ctrl(kVkLeft), kNoKey, kWordLeft, kNone, "WordLeft"},
    {Ctrl(kVkRight), Ctrl('W'), kWordRight, kNone, "WordRight"},
    {Key(kVkHome), kNoKey, kBegLine, kNone, "BegLine"},
    {Key(kVkEnd), kNoKey, kEndLine, kNone, "EndLine"},
    {Alt(kVkHome), kNoKey, kLeftSide, kNone, "LeftSide"},
    {Alt(kVkEnd), kNoKey, kRightSide, kNone, "RightSide"},
    {Key(kVkBack), Ctrl('H'), kBackSpace, kNone, "BackSpace"},
    {Key(kVkDelete), Ctrl('G'), kDeleteChar, kNone, "DeleteChar"},
    {Ctrl('['), kNoKey, kInputCtrl, kNone, "InputCtrl"},
    {Key(kVkTab), kNoKey, kInsertTab, kNone, "InsertTab"},
    {CtrlK('L'), kNoKey, kChangeCase, kNone, "ChangeCase"},
    {Ctrl('L'), kNoKey, kChgCaseOne, kNone, "ChgCaseOne"},
    {Ctrl(kVkDelete), kNoKey, kDeleteAfter, kNone, "DeleteAfter"},
    {Ctrl(kVkBack), kNoKey, kDeleteTop, kNone, "DeleteTop"},
    {Shift(kVkBack), kNoKey, kWordBS, kNone, "WordBS"},
    {Shift(kVkDelete), kNoKey, kWordDel, kNone, "WordDel"},
    {SAlt(kVkInsert), kNoKey, kRepeatOne, kNone, "RepeatOne"},
    {CtrlQ('I'), kNoKey, kWordPaste, kNone, "WordPaste"},
    {CtrlK('T'), kNoKey, kTimeStamp, kNone, "TimeStamp"},
    {Key(kVkReturn), Ctrl('M'), kSplitLine, kNone, "SplitLine"},
    {Ctrl('E'), kNoKey, kDeleteLine, kNone, "DeleteLine"},
    {Shift(kVkReturn), kNoKey, kInsertAft, kNone, "InsertAft"},
    {Ctrl(kVkReturn), kNoKey, kInsertBef, kNone, "InsertBef"},
    {Ctrl('I'), kNoKey, kDupLine, kNone, "DupLine"},
    {CtrlQ('K'), kNoKey, kMarkLine, kNone, "MarkLine"},
    {Ctrl('U'), kNoKey, kPopLine, kNone, "PopLine"},
    {kNoKey, kNoKey, kRollUp, kNone, "RollUp"},
    {kNoKey, kNoKey, kRollDown, kNone, "RollDown"},
    {kNoKey, kNoKey, kNormalRlUp, kNone, "NormalRlUp"},
    {kNoKey, kNoKey, kNormalRlDn, kNone, "NormalRlDn"},
    {kNoKey, kNoKey, kSRollUp, kNone, "SRollUp"},
    {kNoKey, kNoKey, kSRollDown, kNone, "SRollDown"},
    {Alt(kVkDown), kNoKey, kNone, kAnothRollUp, "AnothRollUp"},
    {Alt(kVkUp), kNoKey, kNone, kAnothRollDown, "AnothRollDown"},
    {Alt(kVkNext), kNoKey, kNone, kBothRollUp, "BothRollUp"},
    {Alt(kVkPrior), kNoKey, kNone, kBothRollDown, "BothRollDown"},
    {Key(kVkNext), kNoKey, kPageUp, kNone, "PageUp"},
    {Key(kVkPrior), kNoKey, kPageDown, kNone, "PageDown"},
    {SAlt(kVkNext), kNoKey, kHalfPageUp, kNone, "HalfPageUp"},
    {SAlt(kVkPrior), kNoKey, kHalfPageDown, kNone, "HalfPageDown"},
    {Alt(kVkLeft), kNoKey, kRollLeft, kNone, "RollLeft"},
    {Alt(kVkRight), kNoKey, kRollRight, kNone, "RollRight"},
    {Ctrl(kVkDown), kNoKey, kSlowRlup, kNone, "SlowRlup"},
    {Ctrl(kVkUp), kNoKey, kSlowRldn, kNone, "SlowRldn"},
    {Key(kVkInsert), kNoKey, kModeInsert, kNone, "ModeInsert"},
    {CtrlK('J'), kNoKey, kModeAutoSplit, kNone, "ModeAutoSplit"},
    {CtrlQ('W'), kNoKey, kMakeTop, kNone, "MakeTop"},
    {CtrlQ('Z'), kNoKey, kMakeBot, kNone, "MakeBot"},
    {CtrlQ('D'), kNoKey, kMakeMid, kNone, "MakeMid"},
    {CtrlQ('R'), Ctrl(kVkHome), kTextTop, kNone, "TextTop"},
    {CtrlQ('C'), Ctrl(kVkEnd), kTextBot, kNone, "TextBot"},
    {Ctrl('J'), kNoKey, kJumpLine, kNone, "JumpLine"},
    {CtrlQ('P'), kNoKey, kPrevPos, kNone, "PrevPos"},
    {Ctrl(kVkNext), CtrlQ('M'), kNextMark, kNone, "NextMark"},
    {Ctrl(kVkPrior), CtrlQ('N'), kPrevMark, kNone, "PrevMark"},
    {CtrlQ('L'), Shift(F(10)), kMarkList, kNone, "MarkList"},
    {CtrlQ('\\'), kNoKey, kMarkOff, kNone, "MarkOff"},
    {CtrlQ('E'), kNoKey, kScreenTop, kNone, "ScreenTop"},
    {CtrlQ('X'), kNoKey, kScreenBot, kNone, "ScreenBot"},
    {Key(F(10)), CtrlQ('J'), kTagJump, kNone, "TagJump"},
    {Key(F(9)), kNoKey, kBackToTag, kNone, "BackToTag"},
    {Ctrl(']'), kNoKey, kOtherParen, kNone, "OtherParen"},
    {CtrlK('B'), kNoKey, kSelectBegin, kNone, "SelectBegin"},
    {CtrlK('M'), kNoKey, kBoxBegin, kNone, "BoxBegin"},
    {CtrlK('I'), kNoKey, kBoxPaste, kNone, "BoxPaste"},
    {Ctrl('V'), Shift(kVkInsert), kEditPaste, kNone, "EditPaste"},
    {Ctrl('C'), Ctrl(kVkInsert), kEditCopy, kNone, "EditCopy"},
    {Ctrl('X'), CtrlK('Y'), kEditCut, kNone, "EditCut"},
    {Ctrl('Z'), Alt(kVkBack), kUndo, kNone, "Undo"},
    {Ctrl('Y'), SAlt(kVkBack), kRedo, kNone, "Redo"},
    {Ctrl('R'), kNoKey, kRepeat, kNone, "Repeat"},
    {Ctrl('D'), kNoKey, kStepDo, kNone, "StepDo"},
    {kNoKey, kNoKey, kEditConvert, kNone, "EditConvert"},
    {kNoKey, kNoKey, kEditCenter, kNone, "EditCenter"},
    {kNoKey, kNoKey, kEditLeft, kNone, "EditLeft"},
    {kNoKey, kNoKey, kEditRight, kNone, "EditRight"},
    {kNoKey, kNoKey, kEditSort, kNone, "EditSort"},
    {kNoKey, kNoKey, kIndent, kNone, "Indent"},
    {kNoKey, kNoKey, kBackInd, kNone, "BackInd"},
    {kNoKey, kNoKey, kAddString, kNone, "AddString"},
    {Ctrl('A'), kNoKey, kSelectAll, kNone, "SelectAll"},
    {CtrlK('C'), kNoKey, kCopyToFile, kNone, "CopyToFile"},
    {CtrlK('V'), kNoKey, kPasteFromFile, kNone, "PasteFromFile"},
    {CtrlK(']'), kNoKey, kAppendFile, kNone, "AppendFile"},
    {CtrlK('F'), kNoKey, kFlushBuf, kNone, "FlushBuf"},
    {CtrlK('G'), kNoKey, kSelectClipBd, kNone, "SelectClipBd"},
    {Ctrl('F'), CtrlQ('F'), kNone, kSearchFwd, "SearchFwd"},
    {Ctrl('B'), CtrlQ('B'), kNone, kSearchBwd, "SearchBwd"},
    {Key(F(3)), Ctrl('N'), kNone, kSearchNext, "SearchNext"},
    {Shift(F(3)), Ctrl('P'), kNone, kSearchPrev, "SearchPrev"},
    {CtrlQ('A'), kNoKey, kNone, kReplace, "Replace"},
    {CtrlQ('S'), kNoKey, kNone, kReplAgain, "ReplAgain"},
    {CtrlQ(']'), kNoKey, kTitleMark, kNone, "TitleMark"},
    {Ctrl('_'), kNoKey, kGetWord, kNone, "GetWord"},
    {CtrlQ('G'), kNoKey, kNone, kGrep, "Grep"},
    {CtrlK('S'), Ctrl('S'), kSaveFile, kNone, "SaveFile"},
    {CtrlK('P'), kNoKey, kNone, kPrint, "Print"},
    {CtrlK('R'), kNoKey, kNone, kPrintPreview, "PrintPreview"},
    {Shift(kVkTab), Key(kVkEscape), kNone, kNextPane, "NextPane"},
    {Key(F(1)), kNoKey, kNone, kAppHelp, "AppHelp"},
    {kNoKey, kNoKey, kNone, kSetProperty, "SetProperty"},
}};

constexpr std::array<CommandRow, 4> kViewerRows{{
    {Ctrl('M'), kNoKey, kNone, kReceiveNew, "ReceiveNew"},
    {Ctrl('R'), kNoKey, kNone, kMailReply, "Reply"},
    {Ctrl('N'), kNoKey, kNone, kMailCompose, "Compose"},
    {Ctrl('D'), kNoKey, kNone, kMailDelete, "MailDelete"},
}};

constexpr std::array<std::uint8_t, KeyBindings::kPrefixSlots> kDefaultPrefixes{
    'K', 'O', 'Q', 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};

}  // namespace

std::span<const CommandRow> DefaultCommandRows() {
    return kCommandRows;
}

std::span<const CommandRow> ViewerRows() {
    return kViewerRows;
}

const CommandRow* FindCommandRow(std::span<const CommandRow> rows, KeyCode key) {
    const auto row =
        std::find_if(rows.begin(), rows.end(), [key](const CommandRow& r) { return r.Binds(key); });
    return row != rows.end() ? &*row : nullptr;
}

KeyBindings::KeyBindings()
    : rows_(kCommandRows.begin(), kCommandRows.end()), prefixes_(kDefaultPrefixes) {}

KeyBindings& KeyBindings::Shared() {
    static KeyBindings shared;
    return shared;
}

const CommandRow* KeyBindings::Row(std::string_view name) const {
    const auto row = std::find_if(rows_.begin(), rows_.end(),
                                  [name](const CommandRow& r) { return r.name == name; });
    return row != rows_.end() ? &*row : nullptr;
}

bool KeyBindings::Rebind(std::string_view name, KeyCode key1, KeyCode key2) {
    const CommandRow* row = Row(name);
    if (row == nullptr) {
        return false;
    }
    CommandRow& changed = rows_[static_cast<std::size_t>(row - rows_.data())];
    changed.key1 = key1;
    changed.key2 = key2;
    return true;
}

void KeyBindings::SetPrefixes(std::string_view letters) {
    prefixes_.fill(kNoPrefix);
    const std::size_t n = std::min(letters.size(), kPrefixSlots);
    std::copy_n(letters.begin(), n, prefixes_.begin());
}

bool KeyBindings::IsPrefix(int virtualKey) const {
    return virtualKey >= 0 && virtualKey < kNoPrefix &&
           std::find(prefixes_.begin(), prefixes_.end(), virtualKey) != prefixes_.end();
}

}  // namespace corvina
