#pragma once
// The attachment pane's desktop services: files and folders are opened by
// the desktop (xdg-open through QDesktopServices), a chosen program is
// started with the file as its one argument (an argument vector, no
// shell), and an enclosed message goes into the folder the list shows.
// Nothing here runs an attachment itself; the core asks before a file
// that could run code is handed to the desktop.

#include "store/AttachmentPane.h"

namespace corvina {

class MainContext;

class DesktopAttachmentHost : public AttachmentHost {
public:
    explicit DesktopAttachmentHost(MainContext& context) : context_(context) {}

    bool OpenWithDefaultAction(const std::filesystem::path& file) override;
    bool RunProgram(const std::filesystem::path& program,
                    const std::filesystem::path& file) override;
    bool ExploreFolder(const std::filesystem::path& directory) override;
    void AddMessageToShownFolder(std::string text) override;

private:
    MainContext& context_;
};

}  // namespace corvina
