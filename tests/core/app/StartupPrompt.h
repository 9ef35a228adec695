#pragma once
// The recording prompt, with the start-up questions in the order they were
// asked: "password", "home", and "msg:<id>" / "ask:<id>" for the boxes of
// the string table.

#include <string>
#include <string_view>
#include <vector>

#include "RecordingPrompt.h"
#include "common/StringTable.h"

namespace corvina::test {

class StartupPrompt : public RecordingPrompt {
public:
    std::vector<std::string> events;
    std::vector<std::string> homeSuggestions;  // the pre-filled texts

    ConfirmAnswer Ask(const Question& question) override {
        events.push_back("ask:" + IdOf(question.text));
        return RecordingPrompt::Ask(question);
    }
    void Notify(std::string_view text, std::string_view caption) override {
        events.push_back("msg:" + IdOf(text));
        RecordingPrompt::Notify(text, caption);
    }
    std::optional<std::string> AskText(std::string_view title, std::string_view prompt,
                                       std::string_view prefilled) override {
        events.push_back("home");
        homeSuggestions.emplace_back(prefilled);
        return RecordingPrompt::AskText(title, prompt, prefilled);
    }
    std::optional<std::string> AskPassword(std::string_view title,
                                           std::string_view prompt) override {
        events.push_back("password");
        return RecordingPrompt::AskPassword(title, prompt);
    }

private:
    // The id of a string-table text; the text itself when it is none.
    static std::string IdOf(std::string_view text) {
        int count = 0;
        const StringTableRow* rows = StringTableRows(&count);
        for (int i = 0; i < count; ++i) {
            if (text == rows[i].text)
                return std::to_string(rows[i].id);
        }
        return std::string(text);
    }
};

}  // namespace corvina::test
