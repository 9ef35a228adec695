#pragma once
// EditorDialogs that answer from a script: each question takes the next
// prepared answer (a missing answer cancels) and records what it was
// shown.

#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "editor/EditorDialogs.h"

namespace corvina::test {

class ScriptedDialogs : public EditorDialogs {
public:
    // Answers, taken front first. A find or replace answer replaces the
    // values the dialog was opened with.
    struct FindAnswer {
        FindDialogButton button = FindDialogButton::kOk;
        FindDialogValues values;
    };
    struct ReplaceDialogAnswer {
        ReplaceDialogButton button = ReplaceDialogButton::kOk;
        ReplaceDialogValues values;
    };
    std::deque<FindAnswer> finds;
    std::deque<ReplaceDialogAnswer> replaces;
    std::deque<ReplaceAnswer> confirmations;
    std::deque<JumpDialogValues> jumps;
    std::deque<ConvertChoice> converts;
    std::deque<SortChoice> sorts;
    std::deque<AddStringChoice> addStrings;
    std::deque<std::filesystem::path> fileNames;
    std::deque<PasteHistoryChoice> pasteChoices;
    bool escape = false;
    bool shift = false;

    // What the dialogs were opened with.
    std::vector<FindDialogValues> findsShown;
    std::vector<ReplaceDialogValues> replacesShown;
    int confirmationsAsked = 0;
    int stepDialogs = 0;
    std::vector<std::string> information;
    std::vector<std::string> errors;

    FindDialogButton AskFind(FindDialogValues& values) override {
        findsShown.push_back(values);
        return Take(finds, values, FindDialogButton::kCancel);
    }
    ReplaceDialogButton AskReplace(ReplaceDialogValues& values) override {
        replacesShown.push_back(values);
        return Take(replaces, values, ReplaceDialogButton::kCancel);
    }
    ReplaceAnswer AskReplaceThis() override {
        ++confirmationsAsked;
        return TakeValue(confirmations, ReplaceAnswer::kCancel);
    }
    bool AskJump(JumpDialogValues& values) override { return TakeInto(jumps, values); }
    bool AskConvert(ConvertChoice& choice) override { return TakeInto(converts, choice); }
    bool AskSort(SortChoice& choice) override { return TakeInto(sorts, choice); }
    bool AskAddString(AddStringChoice& choice) override { return TakeInto(addStrings, choice); }
    bool AskFileName(FileDialogKind, std::filesystem::path& path) override {
        return TakeInto(fileNames, path);
    }
    PasteHistoryChoice AskPasteHistory(const std::vector<std::string>&) override {
        return TakeValue(pasteChoices, PasteHistoryChoice{});
    }
    void ShowStepDialog(TextEditor&) override { ++stepDialogs; }
    void ShowInformation(std::string_view title, std::string_view text) override {
        information.push_back(std::string(title) + ": " + std::string(text));
    }
    void ShowError(std::string_view text) override { errors.emplace_back(text); }
    bool EscapePressed() override { return escape; }
    bool ShiftPressed() override { return shift; }

private:
    template <typename Answer, typename Values, typename Button>
    static Button Take(std::deque<Answer>& answers, Values& values, Button cancel) {
        if (answers.empty()) {
            return cancel;
        }
        Answer answer = answers.front();
        answers.pop_front();
        values = answer.values;
        return answer.button;
    }
    template <typename T>
    static bool TakeInto(std::deque<T>& answers, T& value) {
        if (answers.empty()) {
            return false;
        }
        value = answers.front();
        answers.pop_front();
        return true;
    }
    template <typename T>
    static T TakeValue(std::deque<T>& answers, T fallback) {
        if (answers.empty()) {
            return fallback;
        }
        T value = answers.front();
        answers.pop_front();
        return value;
    }
};

}  // namespace corvina::test
