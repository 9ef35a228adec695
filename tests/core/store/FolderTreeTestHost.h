#pragma once
// A recording FolderHost for the folder-tree and filter tests: answers come
// from a queue, every question and notice is kept.

#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "store/FolderHost.h"
#include "message/MailMessage.h"

namespace corvina::test {

class RecordingFolderHost : public FolderHost {
public:
    std::deque<ConfirmAnswer> answers;  // for Confirm and AskDeleteAttachment
    std::vector<std::string> confirmTexts;
    std::vector<std::string> attachmentQuestions;  // the paths asked about
    std::vector<std::string> errors;
    std::vector<std::unique_ptr<MailMessage>> composed;
    std::vector<MailFolder*> resetFolders;
    std::vector<MailFolder*> selected;
    int refreshes = 0;
    MailFolder* shown = nullptr;

    ConfirmAnswer Confirm(std::string_view text, std::string_view caption,
                          ConfirmButtons buttons) override {
        confirmTexts.emplace_back(text);
        return Next(ConfirmAnswer::Ok);
    }
    ConfirmAnswer AskDeleteAttachment(std::string_view question, std::string_view path,
                                      std::string_view from, std::string_view subject) override {
        attachmentQuestions.emplace_back(path);
        return Next(ConfirmAnswer::No);
    }
    void ReportError(std::string_view text) override { errors.emplace_back(text); }
    void OpenCompose(std::unique_ptr<MailMessage> message) override {
        composed.push_back(std::move(message));
    }
    void FolderReset(MailFolder& folder) override { resetFolders.push_back(&folder); }
    void SelectFolder(MailFolder& folder) override { selected.push_back(&folder); }
    void RefreshMessageList() override { ++refreshes; }
    MailFolder* ShownFolder() override { return shown; }

private:
    ConfirmAnswer Next(ConfirmAnswer fallback) {
        if (answers.empty())
            return fallback;
        const ConfirmAnswer a = answers.front();
        answers.pop_front();
        return a;
    }
};

}  // namespace corvina::test
