#include "editor/EditorCommands.h"

#include <algorithm>
#include <iterator>

#include "editor/EditorOptions.h"
#include "editor/TextEditor.h"

namespace corvina {

namespace {

using C = EditorCommand;

}  // namespace

// Every view command of the key table that this runner handles. Search
// commands and frame commands are routed elsewhere.
const EditorCommands::Entry* EditorCommands::Find(EditorCommand command) {
    static const Entry kTable[] = {
        {C::kCsrUp, &EditorCommands::CsrUp},
        {C::kCsrLeft, &EditorCommands::CsrLeft},
        {C::kCsrRight, &EditorCommands::CsrRight},
        {C::kCsrDown, &EditorCommands::CsrDown},
        {C::kWordLeft, &EditorCommands::WordLeft},
        {C::kWordRight, &EditorCommands::WordRight},
        {C::kBegLine, &EditorCommands::BegLine},
        {C::kEndLine, &EditorCommands::EndLine},
        {C::kLeftSide, &EditorCommands::LeftSide},
        {C::kRightSide, &EditorCommands::RightSide},
        {C::kBackSpace, &EditorCommands::BackSpace},
        {C::kDeleteChar, &EditorCommands::DeleteChar},
        {C::kInputCtrl, &EditorCommands::InputCtrl},
        {C::kInsertTab, &EditorCommands::InsertTab},
        {C::kChangeCase, &EditorCommands::ChangeCase},
        {C::kChgCaseOne, &EditorCommands::ChgCaseOne},
        {C::kDeleteAfter, &EditorCommands::DeleteAfter},
        {C::kDeleteTop, &EditorCommands::DeleteTop},
        {C::kWordBS, &EditorCommands::WordBS},
        {C::kWordDel, &EditorCommands::WordDel},
        {C::kRepeatOne, &EditorCommands::RepeatOne},
        {C::kTimeStamp, &EditorCommands::TimeStamp},
        {C::kSplitLine, &EditorCommands::SplitLine},
        {C::kDeleteLine, &EditorCommands::DeleteLine},
        {C::kInsertAft, &EditorCommands::InsertAft},
        {C::kInsertBef, &EditorCommands::InsertBef},
        {C::kDupLine, &EditorCommands::DupLine},
        {C::kMarkLine, &EditorCommands::MarkLine},
        {C::kPopLine, &EditorCommands::PopLine},
        {C::kRollUp, &EditorCommands::RollUp},
        {C::kRollDown, &EditorCommands::RollDown},
        {C::kNormalRlUp, &EditorCommands::NormalRlUp},
        {C::kNormalRlDn, &EditorCommands::NormalRlDn},
        {C::kSRollUp, &EditorCommands::RollUp},
        {C::kSRollDown, &EditorCommands::RollDown},
        {C::kPageUp, &EditorCommands::PageUp},
        {C::kPageDown, &EditorCommands::PageDown},
        {C::kHalfPageUp, &EditorCommands::HalfPageUp},
        {C::kHalfPageDown, &EditorCommands::HalfPageDown},
        {C::kRollLeft, &EditorCommands::RollLeft},
        {C::kRollRight, &EditorCommands::RollRight},
        {C::kSlowRlup, &EditorCommands::SlowRlup},
        {C::kSlowRldn, &EditorCommands::SlowRldn},
        {C::kModeInsert, &EditorCommands::ModeInsert},
        {C::kModeAutoSplit, &EditorCommands::ModeAutoSplit},
        {C::kMakeTop, &EditorCommands::MakeTop},
        {C::kMakeBot, &EditorCommands::MakeBot},
        {C::kMakeMid, &EditorCommands::MakeMid},
        {C::kTextTop, &EditorCommands::TextTop},
        {C::kTextBot, &EditorCommands::TextBot},
        {C::kPrevPos, &EditorCommands::PrevPos},
        {C::kNextMark, &EditorCommands::NextMark},
        {C::kPrevMark, &EditorCommands::PrevMark},
        {C::kMarkList, &EditorCommands::NoEffect},
        {C::kMarkOff, &EditorCommands::MarkOff},
        {C::kScreenTop, &EditorCommands::ScreenTop},
        {C::kScreenBot, &EditorCommands::ScreenBot},
        {C::kTagJump, &EditorCommands::NoEffect},
        {C::kBackToTag, &EditorCommands::NoEffect},
        {C::kOtherParen, &EditorCommands::OtherParen},
        {C::kSelectBegin, &EditorCommands::SelectBegin},
        {C::kBoxBegin, &EditorCommands::BoxBegin},
        {C::kBoxPaste, &EditorCommands::BoxPaste},
        {C::kEditPaste, &EditorCommands::EditPaste},
        {C::kEditCopy, &EditorCommands::EditCopy},
        {C::kEditCut, &EditorCommands::EditCut},
        {C::kUndo, &EditorCommands::Undo},
        {C::kRedo, &EditorCommands::Redo},
        {C::kRepeat, &EditorCommands::Repeat},
        {C::kStepDo, &EditorCommands::StepDo},
        {C::kEditConvert, &EditorCommands::EditConvert},
        {C::kEditCenter, &EditorCommands::EditCenter},
        {C::kEditLeft, &EditorCommands::EditLeft},
        {C::kEditRight, &EditorCommands::EditRight},
        {C::kEditSort, &EditorCommands::EditSort},
        {C::kIndent, &EditorCommands::Indent},
        {C::kBackInd, &EditorCommands::BackInd},
        {C::kAddString, &EditorCommands::AddString},
        {C::kSelectAll, &EditorCommands::SelectAll},
        {C::kCopyToFile, &EditorCommands::CopyToFile},
        {C::kPasteFromFile, &EditorCommands::PasteFromFile},
        {C::kAppendFile, &EditorCommands::AppendFile},
        {C::kFlushBuf, &EditorCommands::FlushBuf},
        {C::kSelectClipBd, &EditorCommands::SelectClipBd},
        {C::kSaveFile, &EditorCommands::SaveFile},
    };
    const auto it = std::find_if(std::begin(kTable), std::end(kTable),
                                 [command](const Entry& e) { return e.command == command; });
    return it == std::end(kTable) ? nullptr : &*it;
}

EditorCommands::EditorCommands(TextEditor& editor, EditorHost& host, EditorDialogs& dialogs,
                               const EditorOptions& options, SearchState& search)
    : editor_(editor),
      host_(host),
      dialogs_(dialogs),
      options_(options),
      clock_([] { return std::time(nullptr); }),
      scrollPeriod_(std::clamp(options.rollTimer, 1, 501)),
      search_(editor, host, dialogs, options, search) {}

bool EditorCommands::Run(EditorCommand command) {
    // Any command but the speed of the scroll itself ends a continuous
    // scroll.
    if (command != C::kSlowRlup && command != C::kSlowRldn) {
        StopScrolling();
    }
    const Entry* entry = Find(command);
    if (entry == nullptr) {
        return search_.Run(command);
    }
    (this->*entry->handler)();
    return true;
}

void EditorCommands::SetKeyRepeat(int count) {
    keyRepeat_ = std::clamp(count, 0, 100);
}

}  // namespace corvina
