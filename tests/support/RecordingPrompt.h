#pragma once
// A UserPrompt that answers from a script and records every call, for
// tests of code that asks the user.

#include <deque>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "common/UserPrompt.h"

namespace corvina::test {

class RecordingPrompt : public UserPrompt {
public:
    // Scripted answers, taken in order; an empty script gives the preset
    // answer, Cancel for the others.
    std::deque<ConfirmAnswer> answers;
    std::deque<std::optional<std::filesystem::path>> files;
    std::deque<std::optional<std::string>> texts;
    std::deque<std::optional<std::string>> passwords;

    std::vector<Question> questions;  // every box asked
    std::vector<std::string> notices;
    std::vector<FileChoice> fileChoices;
    std::vector<std::string> textPrompts;  // "title|prompt|prefilled"
    int passwordPrompts = 0;

    ConfirmAnswer Ask(const Question& question) override {
        questions.push_back(question);
        if (answers.empty())
            return question.preset;
        ConfirmAnswer a = answers.front();
        answers.pop_front();
        return a;
    }
    void Notify(std::string_view text, std::string_view) override { notices.emplace_back(text); }
    std::optional<std::filesystem::path> ChooseFile(const FileChoice& choice) override {
        fileChoices.push_back(choice);
        return Next(files);
    }
    std::optional<std::string> AskText(std::string_view title, std::string_view prompt,
                                       std::string_view prefilled) override {
        textPrompts.push_back(std::string(title) + "|" + std::string(prompt) + "|" +
                              std::string(prefilled));
        return Next(texts);
    }
    std::optional<std::string> AskPassword(std::string_view, std::string_view) override {
        ++passwordPrompts;
        return Next(passwords);
    }

private:
    template <typename T>
    static std::optional<T> Next(std::deque<std::optional<T>>& script) {
        if (script.empty())
            return std::nullopt;
        std::optional<T> a = std::move(script.front());
        script.pop_front();
        return a;
    }
};

}  // namespace corvina::test
