// The editor's dialogs as they open from the view's commands.

#include "Scene.h"
#include "common/CodePage.h"
#include "ui/editor/dialogs/ConvertDialog.h"
#include "ui/editor/dialogs/FindDialog.h"
#include "ui/editor/dialogs/PasteHistoryDialog.h"
#include "ui/editor/dialogs/ReplaceDialog.h"

namespace corvina::screenshots {
namespace {

CORVINA_SCENE("dialog-find") {
    CodePage::SetWorking(CodePage::kShiftJis);
    FindDialogValues values;
    values.pattern = "Subject";
    values.options = SearchOptions::FromLetters("IW");
    values.history = {"Subject", "Received", "\\tquoted"};
    FindDialog dialog(values, {}, nullptr);
    return Grab(dialog);
}

CORVINA_SCENE("dialog-replace") {
    CodePage::SetWorking(CodePage::kUtf8);
    ReplaceDialogValues values;
    values.pattern = "colour";
    values.replacement = "color";
    values.options = SearchOptions::FromLetters("GI");
    ReplaceDialog dialog(values, {}, nullptr);
    return Grab(dialog);
}

CORVINA_SCENE("dialog-convert") {
    CodePage::SetWorking(CodePage::kUtf8);
    ConvertDialog dialog(
        {CaseConversion::kUpperAll, SpacingConversion::kNone, WidthConversion::kSbcsToMbcs},
        nullptr);
    return Grab(dialog);
}

CORVINA_SCENE("dialog-clipboard-history") {
    CodePage::SetWorking(CodePage::kUtf8);
    PasteHistoryDialog dialog({"Dear Ann,\nthe meeting moves to Friday.", "ann@example.org",
                               "https://example.org/agenda"},
                              nullptr);
    return Grab(dialog);
}

}  // namespace
}  // namespace corvina::screenshots
