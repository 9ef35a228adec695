#include "store/AttachmentPane.h"

#include <gtest/gtest.h>

#include "../message/mime/MimeTestSupport.h"
#include "RecordingPrompt.h"

namespace corvina::test {
namespace {

// Records the desktop services the pane used and answers from its settings.
class FakeHost : public AttachmentHost {
public:
    bool defaultActionWorks = true;
    bool programWorks = true;

    std::vector<std::string> calls;
    std::vector<std::string> handedMessages;

    bool OpenWithDefaultAction(const std::filesystem::path& file) override {
        calls.push_back("open " + file.filename().string());
        return defaultActionWorks;
    }
    bool RunProgram(const std::filesystem::path& prog, const std::filesystem::path& file) override {
        calls.push_back("run " + prog.string() + " " + file.filename().string());
        return programWorks;
    }
    bool ExploreFolder(const std::filesystem::path& dir) override {
        calls.push_back("explore " + dir.string());
        return true;
    }
    void AddMessageToShownFolder(std::string text) override {
        handedMessages.push_back(std::move(text));
    }
};

TEST(AttachmentPane, OpenFollowsTheTypesAction) {
    MimeFixture fx;
    FakeHost host;
    RecordingPrompt prompt;
    AttachmentPaneState state;
    state.attachSaveDir = fx.dir / "saved";
    std::filesystem::create_directories(state.attachSaveDir);
    std::filesystem::path file = fx.dir / "a.jpg";
    WriteFileBytes(file, "JPEG");
    AttachmentEntry jpeg{file, "image", "jpeg", "base64"};

    EXPECT_EQ(OpenAttachment(jpeg, fx.types, host, prompt, state), OpenOutcome::Opened);
    EXPECT_EQ(host.calls, (std::vector<std::string>{"open a.jpg"}));
    EXPECT_TRUE(prompt.fileChoices.empty());

    // A failed default action falls back to saving; the directory is remembered.
    host.calls.clear();
    host.defaultActionWorks = false;
    prompt.files.push_back(fx.dir / "saved" / "copy.jpg");
    EXPECT_EQ(OpenAttachment(jpeg, fx.types, host, prompt, state), OpenOutcome::Saved);
    EXPECT_EQ(host.calls, (std::vector<std::string>{"open a.jpg"}));
    ASSERT_EQ(prompt.fileChoices.size(), 1u);
    EXPECT_EQ(prompt.fileChoices[0].purpose, FileChoice::Purpose::Save);
    EXPECT_EQ(prompt.fileChoices[0].suggestedName, "a.jpg");
    EXPECT_EQ(prompt.fileChoices[0].filterName, "All Files");
    EXPECT_EQ(prompt.fileChoices[0].filterPattern, "*.*");
    EXPECT_EQ(ReadFileBytes(fx.dir / "saved" / "copy.jpg"), "JPEG");
    EXPECT_EQ(state.attachSaveDir, fx.dir / "saved");

    host.calls.clear();
    fx.types.ApplyRow("image/jpeg", "/usr/bin/viewer", ".jpg", 2);
    EXPECT_EQ(OpenAttachment(jpeg, fx.types, host, prompt, state), OpenOutcome::Launched);
    EXPECT_EQ(host.calls, (std::vector<std::string>{"run /usr/bin/viewer a.jpg"}));
    host.programWorks = false;
    EXPECT_EQ(OpenAttachment(jpeg, fx.types, host, prompt, state), OpenOutcome::Cancelled);
    EXPECT_EQ(prompt.fileChoices.size(), 2u);  // a failed launch falls back to saving

    host.calls.clear();
    fx.types.ApplyRow("image/jpeg", "", ".jpg", 1);
    OpenAttachment(jpeg, fx.types, host, prompt, state);
    EXPECT_TRUE(host.calls.empty());
    ASSERT_EQ(prompt.fileChoices.size(), 3u);
    EXPECT_EQ(prompt.fileChoices[2].startDirectory, fx.dir / "saved");
}

TEST(AttachmentPane, EnclosedMessageIsHandedToTheFolderAndParses) {
    MimeFixture fx;
    FakeHost host;
    RecordingPrompt prompt;
    AttachmentPaneState state;
    // A stored .eml as the decoder writes it: CR LF, a "." line inside.
    MailMessage outer;
    fx.Parse(outer,
             "Content-Type: multipart/mixed; boundary=b\n\n--b\n"
             "Content-Type: message/rfc822\n\n"
             "From: inner@x\nSubject: inner\n\nfirst\n...\nlast\n--b--\n");
    ASSERT_EQ(outer.attachments.size(), 1u);
    EXPECT_EQ(OpenAttachment(outer.attachments[0], fx.types, host, prompt, state),
              OpenOutcome::AddedMessage);
    ASSERT_EQ(host.handedMessages.size(), 1u);
    const std::string& text = host.handedMessages[0];
    EXPECT_TRUE(text.ends_with("\n.\n"));
    MailMessage inner;
    fx.Parse(inner, text);
    EXPECT_EQ(inner.subject, "inner");
    EXPECT_EQ(fx.Body(inner), (std::vector<std::string>{"first", "..", "last"}));
}

TEST(AttachmentPane, ReleaseAsksAndDeletesOnlyInsideTheAttachmentDirectory) {
    MimeFixture fx;
    std::filesystem::create_directories(fx.Attach());
    std::filesystem::path inside1 = fx.Attach() / "one.bin";
    std::filesystem::path inside2 = fx.Attach() / "two.bin";
    std::filesystem::path outside = fx.dir / "mine.bin";
    for (const auto& p : {inside1, inside2, outside}) {
        WriteFileBytes(p, "x");
    }
    MailMessage m;
    m.attachments = {{inside1, "a", "b", "base64"},
                     {outside, "a", "b", "base64"},
                     {inside2, "a", "b", "base64"}};
    RecordingPrompt prompt;
    prompt.answers = {ConfirmAnswer::Cancel};
    EXPECT_FALSE(ReleaseAttachments(m, {0, 1, 2}, fx.Attach(), prompt));
    EXPECT_EQ(m.attachments.size(), 3u);

    prompt.answers = {ConfirmAnswer::Ok, ConfirmAnswer::Yes, ConfirmAnswer::No};
    EXPECT_TRUE(ReleaseAttachments(m, {2, 0, 1}, fx.Attach(), prompt));
    EXPECT_TRUE(m.attachments.empty());
    EXPECT_TRUE(m.dirty);
    ASSERT_EQ(prompt.questions.size(), 4u);
    EXPECT_EQ(prompt.questions[1].text, std::string(kReleaseLinksQuestion));
    EXPECT_EQ(prompt.questions[1].buttons, ConfirmButtons::OkCancel);
    EXPECT_EQ(prompt.questions[2].text,
              "Do you want to delete the file?\n(" + inside1.string() + ")");
    EXPECT_EQ(prompt.questions[2].buttons, ConfirmButtons::YesNo);
    EXPECT_FALSE(std::filesystem::exists(inside1));
    EXPECT_TRUE(std::filesystem::exists(inside2));
    EXPECT_TRUE(std::filesystem::exists(outside));
}

TEST(AttachmentPane, FilesThatCouldRunCodeAreOpenedOnlyAfterAnOk) {
    MimeFixture fx;
    struct Case {
        const char* name;
        const char* bytes;
        const char* type;
        const char* subtype;
        bool executable;
        bool risky;
    };
    const Case cases[] = {
        {"photo.jpg", "JPEG", "image", "jpeg", false, false},
        {"notes.txt", "plain words", "text", "plain", false, false},
        {"Atch0000.bin", "\001\002data", "application", "octet-stream", false, false},
        {"setup.EXE", "xx", "application", "octet-stream", false, true},
        {"run.sh", "echo", "text", "plain", false, true},
        {"launcher.desktop", "[Desktop Entry]", "application", "octet-stream", false, true},
        {"tool.jar", "PK", "application", "zip", false, true},
        {"script", "print()", "text", "X-Python", false, true},
        {"report.pdf", "#!/bin/sh\n", "application", "pdf", false, true},
        {"invoice.pdf", "\177ELF", "application", "pdf", false, true},
        {"image.png", "MZ\x90", "image", "png", false, true},
        {"data.csv", "a,b", "text", "csv", true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::filesystem::path file = fx.dir / c.name;
        WriteFileBytes(file, c.bytes);
        std::filesystem::permissions(file, c.executable ? std::filesystem::perms::owner_all
                                                        : std::filesystem::perms::owner_read |
                                                              std::filesystem::perms::owner_write);
        EXPECT_EQ(OpensAsProgram(file, c.type, c.subtype), c.risky);

        // Opening asks first for a risky file; Cancel opens nothing.
        FakeHost host;
        RecordingPrompt prompt;
        AttachmentPaneState state;
        prompt.answers = {ConfirmAnswer::Cancel};
        const AttachmentEntry entry{file, c.type, c.subtype, "base64"};
        const OpenOutcome outcome = OpenAttachment(entry, fx.types, host, prompt, state);
        EXPECT_EQ(outcome, c.risky ? OpenOutcome::Cancelled : OpenOutcome::Opened);
        EXPECT_EQ(host.calls.empty(), c.risky);
        EXPECT_EQ(prompt.questions.size(), c.risky ? 1u : 0u);
        if (c.risky) {
            EXPECT_EQ(prompt.questions[0].buttons, ConfirmButtons::OkCancel);
            EXPECT_EQ(prompt.questions[0].preset, ConfirmAnswer::Cancel);
            EXPECT_TRUE(prompt.questions[0].text.ends_with("\n(" + file.string() + ")"));
            prompt.answers = {ConfirmAnswer::Ok};
            EXPECT_EQ(OpenByDefaultAction(entry, host, prompt), OpenOutcome::Opened);
            EXPECT_EQ(host.calls, (std::vector<std::string>{"open " + std::string(c.name)}));
        }
    }
}

TEST(AttachmentPane, LaunchAndExplore) {
    MimeFixture fx;
    FakeHost host;
    RecordingPrompt prompt;
    AttachmentEntry e{fx.dir / "f.txt", "text", "plain", "7bit"};
    EXPECT_FALSE(LaunchAttachmentWith(e, host, prompt));
    EXPECT_TRUE(host.calls.empty());
    prompt.files.push_back("/usr/bin/less");
    EXPECT_TRUE(LaunchAttachmentWith(e, host, prompt));
    EXPECT_EQ(prompt.fileChoices.back().purpose, FileChoice::Purpose::Program);
    EXPECT_EQ(host.calls.back(), "run /usr/bin/less f.txt");
    EXPECT_TRUE(ExploreAttachmentFolder(e, host));
    EXPECT_EQ(host.calls.back(), "explore " + fx.dir.Path().string());
}

}  // namespace
}  // namespace corvina::test
