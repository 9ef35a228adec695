#pragma once
// An AppHost that answers from a script and records every question.

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "app/AppHost.h"

namespace corvina::test {

class RecordingAppHost : public AppHost {
public:
    std::deque<std::optional<std::string>> passwords;  // answers, nullopt = Cancel
    std::deque<std::optional<std::string>> homeDirs;
    std::deque<bool> yesNo;

    std::vector<std::string> events;  // "password", "home:<prefill>", "msg:<id>", "ask:<id>"
    std::vector<std::string> homeSuggestions;  // the pre-filled texts

    std::optional<std::string> AskPassword() override {
        events.push_back("password");
        return Next(passwords);
    }
    std::optional<std::string> AskHomeDirectory(const std::string& suggestion) override {
        events.push_back("home");
        homeSuggestions.push_back(suggestion);
        return Next(homeDirs);
    }
    void ShowMessage(int stringId) override { events.push_back("msg:" + std::to_string(stringId)); }
    bool AskYesNo(int stringId) override {
        events.push_back("ask:" + std::to_string(stringId));
        if (yesNo.empty())
            return false;
        bool answer = yesNo.front();
        yesNo.pop_front();
        return answer;
    }

private:
    static std::optional<std::string> Next(std::deque<std::optional<std::string>>& answers) {
        // An unscripted question is cancelled, so a test never loops forever.
        if (answers.empty())
            return std::nullopt;
        auto answer = answers.front();
        answers.pop_front();
        return answer;
    }
};

}  // namespace corvina::test
