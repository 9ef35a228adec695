#pragma once
// A store for the store, folder-tree and filter tests: questions are
// answered by a RecordingPrompt, every watcher notice and host call is
// kept.

#include <memory>
#include <string>
#include <vector>

#include "RecordingPrompt.h"
#include "message/MailMessage.h"
#include "store/FolderWatcher.h"
#include "store/MailStore.h"
#include "store/StoreHost.h"

namespace corvina::test {

class RecordingStore : public StoreHost, public FolderWatcher {
public:
    RecordingPrompt prompt;
    MailStore store{&prompt, this};

    std::vector<MailFolder*> delivered;  // MessageAdded, one per message
    std::vector<MessageRef> added;
    std::vector<MailFolder*> changed;
    std::vector<MessageRef> removed;
    std::vector<MailFolder*> reloaded;
    std::vector<MailFolder*> resetFolders;
    std::vector<std::unique_ptr<MailMessage>> composed;
    std::vector<MailFolder*> selected;
    int idleCalls = 0;

    RecordingStore() { store.AddWatcher(this); }
    ~RecordingStore() override { store.RemoveWatcher(this); }

    // The texts of the boxes asked, and the notices (errors) shown.
    std::vector<std::string> QuestionTexts() const {
        std::vector<std::string> texts;
        for (const Question& q : prompt.questions)
            texts.push_back(q.text);
        return texts;
    }
    const std::vector<std::string>& Errors() const { return prompt.notices; }

    void ProcessPendingInput() override { ++idleCalls; }
    void OpenCompose(std::unique_ptr<MailMessage> message) override {
        composed.push_back(std::move(message));
    }
    void SelectFolder(MailFolder& folder) override { selected.push_back(&folder); }

    void FolderChanged(MailFolder& folder) override { changed.push_back(&folder); }
    void MessageAdded(MailFolder& folder, const MessageRef& message) override {
        delivered.push_back(&folder);
        added.push_back(message);
    }
    void MessageRemoved(MailFolder&, const MessageRef& message) override {
        removed.push_back(message);
    }
    void FolderReloaded(MailFolder& folder) override { reloaded.push_back(&folder); }
    void FolderReset(MailFolder& folder) override { resetFolders.push_back(&folder); }
};

}  // namespace corvina::test
