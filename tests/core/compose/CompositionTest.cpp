#include <gtest/gtest.h>

#include "TestSupport.h"
#include "app/AccountProfile.h"
#include "app/Settings.h"
#include "compose/Composition.h"
#include "message/mime/MimeTypeTable.h"
#include "store/FolderNames.h"
#include "store/MailFolder.h"
#include "message/MailMessage.h"
#include "store/Mailbox.h"

namespace corvina {
namespace {

std::vector<std::string> Body(const MailMessage& m) {
    std::vector<std::string> lines;
    for (const MessageLine& line : m.bodyLines)
        lines.emplace_back(line.Content());
    return lines;
}

TEST(Composition, FromAndAddressesAreRewritten) {
    AccountProfile account;
    account.name = "Smith, Anna";
    account.address = "anna@example.com";
    EXPECT_EQ(FromValue(account), "\"Smith, Anna\" <anna@example.com>");
    account.name = "Anna Smith";
    EXPECT_EQ(FromValue(account), "Anna Smith <anna@example.com>");
    account.name.clear();
    EXPECT_EQ(FromValue(account), "anna@example.com");

    EXPECT_EQ(RewriteAddressField("bob@x.org,  Carol <carol@x.org>"),
              "bob@x.org, Carol <carol@x.org>");
    EXPECT_EQ(RewriteAddressField("\"Doe, John\" <jd@x.org>"), "\"Doe, John\" <jd@x.org>");
    EXPECT_EQ(RewriteAddressField("jd@x.org (J. Doe: Sales)"), "\"J. Doe: Sales\" <jd@x.org>");
    EXPECT_EQ(RewriteAddressField(""), "");

    // Quotes and backslashes inside a quoted name are escaped, and an
    // escaped quote or comma does not end the name.
    account.name = "Anna \"Nan\" Smith";
    EXPECT_EQ(FromValue(account), "\"Anna \\\"Nan\\\" Smith\" <anna@example.com>");
    EXPECT_EQ(RewriteAddressField("\"Doe, \\\"JD, Jr\\\" \\\\o/\" <jd@x.org>, b@x.org"),
              "\"Doe, \\\"JD, Jr\\\" \\\\o/\" <jd@x.org>, b@x.org");
}

TEST(Composition, NewMessagesTakeDefEncodeAndThePermanentRecipients) {
    Settings settings;
    settings.defEncode = 2;
    EXPECT_EQ(Composition(settings).Message().encoding, 2);
    settings.defEncode = 9;  // out of range: attachments keep their own encoding
    EXPECT_EQ(Composition(settings).Message().encoding, 0);

    AccountProfile account;
    account.permanentCc = "Carol <CAROL@x.org>, dan@x.org, dan@x.org";
    account.permanentBcc = "bob@x.org, \"Eve, E\" <eve@x.org>";
    settings.defEncode = 1;
    Composition c(settings);
    c.Message().to = "Bob <bob@x.org>";
    c.Message().cc = "carol@x.org";
    c.AddPermanentRecipients(account);
    EXPECT_EQ(c.Message().cc, "carol@x.org, dan@x.org");
    EXPECT_EQ(c.Message().bcc, "\"Eve, E\" <eve@x.org>");

    Composition resent(settings);
    resent.Message().hasResent = true;
    resent.Message().cc = "kept@x.org";
    resent.AddPermanentRecipients(account);
    EXPECT_EQ(resent.Message().resentCc, "Carol <CAROL@x.org>, dan@x.org");
    EXPECT_EQ(resent.Message().resentBcc, "bob@x.org, \"Eve, E\" <eve@x.org>");
    EXPECT_EQ(resent.Message().cc, "kept@x.org");

    // The encoding number is stored with the message.
    test::ScratchDir dir;
    StoreContext context;
    context.mailboxDir = dir.Path();
    ASSERT_TRUE(c.SaveToOutbox(account, context));
    MailFolder outbox(FolderNameToPath(dir.Path(), "OutBox"));
    LoadFolder(outbox, context);
    ASSERT_EQ(outbox.messages.size(), 1u);
    EXPECT_EQ(outbox.messages[0]->encoding, 1);
}

TEST(Composition, SignatureLinesAreMarkedAndReplacedAlone) {
    test::ScratchDir home;
    test::WriteFileBytes(home / "Sig01.TXT", "-- \r\nAnna\r\n" + std::string(300, 'x') + "\n");
    test::WriteFileBytes(home / "Sig02.TXT", "Regards\n");
    Composition c(nullptr);
    c.AddBodyText("Hello\r\nthere\n");
    ASSERT_TRUE(c.AppendSignature(home.Path(), 1));
    // A line longer than a signature line holds goes on in the next one.
    EXPECT_EQ(Body(c.Message()),
              (std::vector<std::string>{"Hello", "there", "-- ", "Anna", std::string(255, 'x'),
                                        std::string(45, 'x')}));
    EXPECT_EQ(c.SignatureLineCount(), 4u);
    c.AddBodyText("P.S. typed after");
    ASSERT_TRUE(c.ReplaceSignature(home.Path(), 2));
    EXPECT_EQ(Body(c.Message()),
              (std::vector<std::string>{"Hello", "there", "P.S. typed after", "Regards"}));
    EXPECT_EQ(c.Message().bodyLineCount, 4);
    EXPECT_FALSE(c.AppendSignature(home.Path(), 7));
    EXPECT_EQ(c.Message().bodyLineCount, 4);
}

TEST(Composition, AddFileToMessage) {
    test::ScratchDir dir;
    test::WriteFileBytes(dir / "notes.txt", "one\r\ntwo\n");
    test::WriteFileBytes(dir / "pic.gif", "GIF89a");
    MimeTypeTable types;
    Composition c(nullptr);
    EXPECT_TRUE(c.AddFileToMessage(dir / "notes.txt", types));
    EXPECT_TRUE(c.AddFileToMessage(dir / "pic.gif", types));
    EXPECT_TRUE(c.AddFileToMessage("MAILTO: someone@x.org ", types));
    EXPECT_FALSE(c.AddFileToMessage(dir / "absent.bin", types));
    EXPECT_FALSE(c.AddFileToMessage(dir.Path(), types));
    const MailMessage& m = c.Message();
    EXPECT_EQ(m.to, "someone@x.org");
    ASSERT_EQ(m.attachments.size(), 1u);
    EXPECT_EQ(m.attachments[0].type, "image");
    EXPECT_EQ(m.attachments[0].subtype, "gif");
    EXPECT_EQ(m.attachments[0].encoding, "base64");
    const auto body = Body(m);
    ASSERT_EQ(body.size(), 4u);
    EXPECT_EQ(body[0], "one");
    EXPECT_EQ(body[1], "two");
    EXPECT_EQ(body[2], "Error: File Not Found. \"" + (dir / "absent.bin").string() + "\"");
    EXPECT_EQ(body[3], "Error: A folder can not be sent. \"" + dir.Path().string() + "\"");

    Composition onlyAttachment(nullptr);
    EXPECT_TRUE(onlyAttachment.AddFileToMessage(dir / "pic.gif", types));
    EXPECT_EQ(Body(onlyAttachment.Message()), (std::vector<std::string>{""}));
}

TEST(Composition, SavesGoToOutBoxAndDraftWithTheirStatus) {
    test::ScratchDir dir;
    const auto mailbox = dir.Path();
    test::WriteFileBytes(mailbox / "InBox.mbx", "");
    test::WriteFileBytes(mailbox / "OutBox.mbx", "");
    MailFolder inbox(mailbox / "InBox.mbx");
    MailFolder outbox(mailbox / "OutBox.mbx");
    StoreContext context;
    context.mailboxDir = mailbox;
    AccountProfile account;
    account.name = "Anna";
    account.address = "anna@example.com";

    Composition c(nullptr);
    c.Message().to = "bob@x.org";
    c.Message().subject = "Waiting";
    c.Message().AddOtherHeader("X-Mailer: old");
    c.Message().AddOtherHeader("Content-Type: text/html");
    c.Message().AddOtherHeader("X-Custom: kept");
    c.AddBodyText("body");
    ASSERT_TRUE(c.SaveToOutbox(account, context));

    // Draft does not exist yet: it is made rather than the draft landing
    // in InBox.
    Composition d(nullptr);
    d.Message().to = "carol@x.org";
    d.Message().subject = "Not yet";
    ASSERT_TRUE(d.SaveToDraft(account, context));

    auto read = [&](std::string_view name) {
        MailFolder folder(FolderNameToPath(mailbox, ResolveFolderName(name)));
        LoadFolder(folder, context);
        for (auto& m : folder.messages)
            LoadMessageBody(*m);
        std::vector<std::unique_ptr<MailMessage>> messages = std::move(folder.messages);
        for (auto& m : messages)
            m->owner = nullptr;
        return messages;
    };
    auto waiting = read("OutBox");
    ASSERT_EQ(waiting.size(), 1u);
    EXPECT_EQ(waiting[0]->status, "W");
    EXPECT_EQ(waiting[0]->from, "Anna <anna@example.com>");
    EXPECT_EQ(waiting[0]->otherHeaders, (std::vector<std::string>{"X-Custom: kept"}));
    auto drafts = read("Draft");
    ASSERT_EQ(drafts.size(), 1u);
    EXPECT_EQ(drafts[0]->status, "D");
    EXPECT_EQ(drafts[0]->subject, "Not yet");
    EXPECT_TRUE(read("InBox").empty());
}

}  // namespace
}  // namespace corvina
