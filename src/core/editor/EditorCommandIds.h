#pragma once
// The command numbers of the editor: the rows of the key table, the
// viewer rows, and the numbers the frames and the key dispatcher use.
// Menus of the main and compose windows use the same numbers, so they are
// part of the program's vocabulary and never change.

#include <cstdint>

namespace corvina {

enum class EditorCommand : std::uint16_t {
    kNone = 0,

    // Caret and editing in the line.
    kCsrUp = 58368,
    kCsrLeft = 58369,
    kCsrRight = 58370,
    kCsrDown = 58371,
    kWordLeft = 58372,
    kWordRight = 58373,
    kBegLine = 58374,
    kEndLine = 58375,
    kLeftSide = 58376,
    kRightSide = 58377,
    kModeInsert = 58378,
    kBackSpace = 58379,
    kDeleteChar = 58380,
    kInputCtrl = 58381,
    kInsertTab = 58382,
    kChangeCase = 58383,
    kChgCaseOne = 58384,
    kDeleteAfter = 58385,
    kDeleteTop = 58386,
    kWordBS = 58387,
    kWordDel = 58388,
    kRepeatOne = 58389,
    kWordPaste = 58390,
    kTimeStamp = 58391,
    kSplitLine = 58392,
    kDeleteLine = 58393,
    kInsertAft = 58394,
    kInsertBef = 58395,
    kDupLine = 58396,
    kMarkLine = 58397,
    kPopLine = 58398,

    // Scrolling.
    kRollUp = 58405,
    kRollDown = 58406,
    kSRollUp = 58407,
    kSRollDown = 58408,
    kPageDown = 58409,
    kPageUp = 58410,
    kNormalRlDn = 58411,
    kNormalRlUp = 58412,
    kBothRollUp = 58413,
    kBothRollDown = 58414,
    kAnothRollUp = 58415,
    kAnothRollDown = 58416,
    kHalfPageUp = 58417,
    kHalfPageDown = 58418,
    kRollLeft = 58419,
    kRollRight = 58420,
    kSlowRlup = 58423,
    kSlowRldn = 58424,
    kModeAutoSplit = 58425,
    kMakeTop = 58426,
    kMakeBot = 58427,
    kMakeMid = 58428,

    // Jumps, marks, selection.
    kTextTop = 58429,
    kTextBot = 58430,
    kJumpLine = 58431,
    kPrevPos = 58432,
    kNextMark = 58433,
    kPrevMark = 58434,
    kMarkList = 58435,
    kMarkOff = 58436,
    kScreenTop = 58437,
    kScreenBot = 58438,
    kTagJump = 58439,
    kOtherParen = 58440,
    kSelectBegin = 58441,
    kBoxPaste = 58442,
    kFlushBuf = 58443,
    kSelectClipBd = 58444,
    kBoxBegin = 58445,

    // Search.
    kSearchFwd = 58446,
    kSearchBwd = 58447,
    kReplAgain = 58448,
    kReplaceRun = 58449,  // a replace run, posted to go on in the next message
    kTitleMark = 58450,
    kGetWord = 58451,
    kSearchPrev = 32769,
    kSearchNext = 32770,
    kGrep = 32782,

    // Files and paragraphs.
    kPasteFromFile = 32777,
    kCopyToFile = 32778,
    kAppendFile = 32779,
    kBackToTag = 32783,
    kStepDo = 32789,
    kEditLeft = 32795,
    kEditRight = 32796,
    kEditCenter = 32797,
    kEditSort = 32798,
    kBackInd = 32799,
    kIndent = 32800,
    kAddString = 32801,
    kEditConvert = 32802,

    // The framework's standard numbers.
    kSaveFile = 57603,
    kPrint = 57607,
    kPrintPreview = 57609,
    kEditCopy = 57634,
    kEditCut = 57635,
    kFind = 57636,
    kEditPaste = 57637,
    kRepeat = 57640,
    kReplace = 57641,
    kSelectAll = 57642,
    kUndo = 57643,
    kRedo = 57644,
    kAppHelp = 57670,

    // Frame commands.
    kNextPane = 109,
    kNextPageOrMessage = 128,  // Space in the read-only viewer
    kSetProperty = 42774,

    // The viewer rows: mail commands of the main window.
    kMailCompose = 42773,
    kMailReply = 42775,
    kReceiveNew = 42785,
    kMailDelete = 42798,

    // The context menus over addresses.
    kOpenUrl = 32810,
    kHighlightWordOfUrl = 32812,
    kMailToAddress = 32813,
    kHighlightAddress = 32814,
    kHighlightWordOfAddress = 32816,
    kAddToAddressBook = 32817,
    kHighlightUrl = 32818,

    kPasteWithPrefix = 32870,
};

constexpr int CommandNumber(EditorCommand command) {
    return static_cast<int>(command);
}

}  // namespace corvina
