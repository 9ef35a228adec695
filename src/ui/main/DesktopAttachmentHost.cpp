#include "ui/main/DesktopAttachmentHost.h"

#include <QDesktopServices>
#include <QFile>
#include <QProcess>
#include <QUrl>

#include "message/mime/MessageOptions.h"
#include "store/Mailbox.h"
#include "ui/main/MainContext.h"

namespace corvina {

namespace {

// Paths are the file system's bytes, not text of the working code page.
QString PathText(const std::filesystem::path& path) {
    return QFile::decodeName(QByteArray::fromStdString(path.string()));
}

QUrl LocalUrl(const std::filesystem::path& path) {
    return QUrl::fromLocalFile(PathText(path));
}

}  // namespace

bool DesktopAttachmentHost::OpenWithDefaultAction(const std::filesystem::path& file) {
    return QDesktopServices::openUrl(LocalUrl(file));
}

// The program keeps running after the call (a viewer the user closes
// later), so it is started detached rather than waited for; the file is
// its one argument and no shell sees either.
bool DesktopAttachmentHost::RunProgram(const std::filesystem::path& program,
                                       const std::filesystem::path& file) {
    return QProcess::startDetached(PathText(program), {PathText(file)});
}

bool DesktopAttachmentHost::ExploreFolder(const std::filesystem::path& directory) {
    return QDesktopServices::openUrl(LocalUrl(directory));
}

// Stored on this (the window's) thread like every folder write; the list
// is filled again so that it shows the new message, the selection kept.
void DesktopAttachmentHost::AddMessageToShownFolder(std::string text) {
    if (DeliverToShownFolder(context_.tree.Context(), text, IncomingParseOptions(context_.app))) {
        context_.list.FillMessageList(context_.list.Folder());
    }
}

}  // namespace corvina
