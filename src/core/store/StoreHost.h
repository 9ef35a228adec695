#pragma once
// The few things the store asks of the front end that drives it (the main
// window, the terminal front end or a test) beyond questions, which go
// through UserPrompt, and change notices, which go to FolderWatchers.
// Every call comes on the thread that owns the folder files.

#include <memory>

namespace corvina {

class MailFolder;
class MailMessage;

class StoreHost {
public:
    virtual ~StoreHost() = default;

    // Called every 100 messages of a long load: let the interface process
    // pending input and idle updates.
    virtual void ProcessPendingInput() {}
    // A message dropped on a count-all folder without a To value opens in a
    // compose window; ownership passes.
    virtual void OpenCompose(std::unique_ptr<MailMessage> message) {}
    // Make `folder` the selected folder of the tree.
    virtual void SelectFolder(MailFolder& folder) {}
};

}  // namespace corvina
