#pragma once
// What the folder tree's operations need from the window that shows the
// tree (or the terminal front end, or a test) beyond the store's own host.

#include <memory>
#include <string_view>

#include "store/StoreHost.h"

namespace corvina {

class MailFolder;
class MailMessage;

class FolderHost : public StoreHost {
public:
    // The "Deleting Attachments" question while emptying the Trash: Yes,
    // YesToAll, No or Cancel.
    virtual ConfirmAnswer AskDeleteAttachment(std::string_view question, std::string_view path,
                                              std::string_view from, std::string_view subject) = 0;

    // A message dropped on a count-all folder without a To value opens in a
    // compose window; ownership passes.
    virtual void OpenCompose(std::unique_ptr<MailMessage> message) = 0;

    // The folder's messages were dropped wholesale (Trash emptied) or the
    // folder is about to be deleted: a list showing it must be cleared.
    virtual void FolderReset(MailFolder& folder) {}

    // Make `folder` the selected folder of the tree.
    virtual void SelectFolder(MailFolder& folder) {}
    // Redraw the message list and the viewer after several messages moved.
    virtual void RefreshMessageList() {}
};

}  // namespace corvina
