#pragma once
// The questions the editor's commands put to the user. The model decides
// when to ask and what the answer does; the Qt view shows the dialogs,
// tests answer from a script. Texts are in the working code page.

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "editor/SearchPattern.h"

namespace corvina {

class TextEditor;

struct FindDialogValues {
    std::string pattern;  // escaped form
    SearchOptions options;
    bool backward = false;
    std::vector<std::string> history;  // earlier search strings, newest first
};

struct ReplaceDialogValues {
    std::string pattern;      // escaped form
    std::string replacement;  // escaped form
    SearchOptions options;
    std::vector<std::string> history;
};

enum class FindDialogButton { kCancel, kOk, kMarkAll };
enum class ReplaceDialogButton { kCancel, kOk, kReplaceAll };
// "Replace?": "&Yes" with Shift held counts as kAll.
enum class ReplaceAnswer { kYes, kNo, kAll, kCancel };

struct JumpDialogValues {
    long lineNumber = 0;   // 1-based
    bool asShown = false;  // display rows instead of logical lines
};

enum class CaseConversion { kNone, kUpperAll, kLowerAll, kUpperTopOfLine, kUpperTopOfWord };
enum class SpacingConversion { kNone, kTabToSpace, kSpaceToTab };
enum class WidthConversion { kNone, kMbcsToSbcs, kSbcsToMbcs };

struct ConvertChoice {
    CaseConversion letterCase = CaseConversion::kNone;
    SpacingConversion spacing = SpacingConversion::kNone;
    WidthConversion width = WidthConversion::kNone;
};

struct SortChoice {
    bool descending = false;
    bool ignoreCase = false;
    // Sort logical lines one by one; otherwise a line and the lines the
    // automatic split continued it on move together.
    bool sortLines = true;
};

struct AddStringChoice {
    std::string text;
    bool atEnd = false;
};

enum class FileDialogKind { kCopyToFile, kAppendToFile, kPasteFromFile, kSaveAs };

// "Clipboard History": the chosen entry and what to do with it.
struct PasteHistoryChoice {
    enum class Action { kCancel, kPaste, kCopy } action = Action::kCancel;
    std::string text;
};

class EditorDialogs {
public:
    virtual ~EditorDialogs() = default;

    // "Find"; the dialog stores its options itself when "&Save Option" is
    // pressed (through SaveFindOptions).
    virtual FindDialogButton AskFind(FindDialogValues& values) = 0;
    virtual ReplaceDialogButton AskReplace(ReplaceDialogValues& values) = 0;
    virtual ReplaceAnswer AskReplaceThis() = 0;
    virtual bool AskJump(JumpDialogValues& values) = 0;

    virtual bool AskConvert(ConvertChoice& choice) = 0;
    virtual bool AskSort(SortChoice& choice) = 0;
    virtual bool AskAddString(AddStringChoice& choice) = 0;
    virtual bool AskFileName(FileDialogKind kind, std::filesystem::path& path) = 0;
    virtual PasteHistoryChoice AskPasteHistory(const std::vector<std::string>& entries) = 0;
    // "Step Undo/Redo": the dialog calls Undo and Redo of `editor` itself.
    virtual void ShowStepDialog(TextEditor& editor) = 0;

    // An information box with its title ("%d words are replaced").
    virtual void ShowInformation(std::string_view title, std::string_view text) = 0;
    // An error box that says what went wrong and what to do.
    virtual void ShowError(std::string_view text) = 0;
    // Whether the Escape key is held: long searches poll it.
    virtual bool EscapePressed() = 0;
    // Whether Shift is held ("&Yes" with Shift, the template of "Mail To").
    virtual bool ShiftPressed() = 0;
};

}  // namespace corvina
