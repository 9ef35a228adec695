#include "FrameFixture.h"

#include "SampleHomeFrame.h"
#include "message/HeaderUnfold.h"
#include "message/MailMessage.h"
#include "message/mime/MessageOptions.h"
#include "message/mime/MessageParser.h"
#include "store/Mailbox.h"

namespace corvina::test {

FrameFixture::FrameFixture() : home(scratch / "home"), config(scratch / "Corvina.ini") {
    std::filesystem::create_directories(home / "User0");
    config.SetString("Settings", "HomeDir", home.string() + "/");
    config.SetInt("Settings", "CodePage", 65001);
    config.SetString("Users\\0", "Account", "Test Account");
    config.SetString("Users\\0", "Address", "reader@example.org");
    config.SetString("Users\\0", "POP", "127.0.0.1");
    config.SetString("Users\\0", "SMTP", "127.0.0.1");
    // Messages added before MakeFrame keep their attachments in this home.
    app.homeDirectory = home;
    app.mailboxDirectory = MailboxDir();
}

FrameFixture::~FrameFixture() {
    frame.reset();
    context.reset();
}

std::filesystem::path FrameFixture::MailboxDir() const {
    return home / "User0";
}

void FrameFixture::AddToFolder(std::string_view folderName, std::string_view messageText) {
    MailMessage message;
    ParseMessage(message, ReceivedForm(messageText), IncomingParseOptions(app));
    message.status.clear();
    StoreContext store;
    store.mailboxDir = MailboxDir();
    ASSERT_TRUE(AppendToFolderFile(message, folderName, store));
}

CMainFrame& FrameFixture::MakeFrame() {
    std::string why;
    EXPECT_TRUE(BuildMainFrame(config, prompt, app, editor, context, frame, &why)) << why;
    frame->resize(1000, 700);
    frame->show();
    return *frame;
}

}  // namespace corvina::test
