#include "message/mime/AttachmentPane.h"

#include <gtest/gtest.h>

#include "MimeTestSupport.h"

namespace corvina::test {
namespace {

// Records what the pane asked for and answers from its settings.
class FakeHost : public AttachmentHost {
public:
    bool defaultActionWorks = true;
    bool programWorks = true;
    std::optional<std::filesystem::path> saveTarget;
    std::optional<std::filesystem::path> program;
    bool okCancel = true;
    std::vector<bool> yesNo;  // answers in order; No when exhausted

    std::vector<std::string> calls;
    std::vector<std::string> questions;
    std::vector<std::string> handedMessages;
    std::filesystem::path saveStart;

    bool OpenWithDefaultAction(const std::filesystem::path& file) override {
        calls.push_back("open " + file.filename().string());
        return defaultActionWorks;
    }
    bool RunProgram(const std::filesystem::path& prog, const std::filesystem::path& file) override {
        calls.push_back("run " + prog.string() + " " + file.filename().string());
        return programWorks;
    }
    std::optional<std::filesystem::path> AskSaveTarget(
        std::string_view suggested, const std::filesystem::path& start) override {
        calls.push_back("save " + std::string(suggested));
        saveStart = start;
        return saveTarget;
    }
    std::optional<std::filesystem::path> AskProgram() override {
        calls.push_back("ask program");
        return program;
    }
    bool ExploreFolder(const std::filesystem::path& dir) override {
        calls.push_back("explore " + dir.string());
        return true;
    }
    bool ConfirmOkCancel(std::string_view text) override {
        questions.emplace_back(text);
        return okCancel;
    }
    bool AskYesNo(std::string_view text) override {
        questions.emplace_back(text);
        if (yesNo.empty()) {
            return false;
        }
        bool answer = yesNo.front();
        yesNo.erase(yesNo.begin());
        return answer;
    }
    void AddMessageToShownFolder(std::string text) override {
        handedMessages.push_back(std::move(text));
    }
};

TEST(AttachmentPane, OpenFollowsTheTypesAction) {
    MimeFixture fx;
    FakeHost host;
    AttachmentPaneState state;
    state.attachSaveDir = fx.dir / "saved";
    std::filesystem::create_directories(state.attachSaveDir);
    std::filesystem::path file = fx.dir / "a.jpg";
    WriteFileBytes(file, "JPEG");
    AttachmentEntry jpeg{file, "image", "jpeg", "base64"};

    EXPECT_EQ(OpenAttachment(jpeg, fx.types, host, state), OpenOutcome::Opened);
    EXPECT_EQ(host.calls, (std::vector<std::string>{"open a.jpg"}));

    // A failed default action falls back to saving; the directory is remembered.
    host.calls.clear();
    host.defaultActionWorks = false;
    host.saveTarget = fx.dir / "saved" / "copy.jpg";
    EXPECT_EQ(OpenAttachment(jpeg, fx.types, host, state), OpenOutcome::Saved);
    EXPECT_EQ(host.calls, (std::vector<std::string>{"open a.jpg", "save a.jpg"}));
    EXPECT_EQ(ReadFileBytes(fx.dir / "saved" / "copy.jpg"), "JPEG");
    EXPECT_EQ(state.attachSaveDir, fx.dir / "saved");

    host.calls.clear();
    fx.types.ApplyRow("image/jpeg", "/usr/bin/viewer", ".jpg", 2);
    EXPECT_EQ(OpenAttachment(jpeg, fx.types, host, state), OpenOutcome::Launched);
    EXPECT_EQ(host.calls, (std::vector<std::string>{"run /usr/bin/viewer a.jpg"}));
    host.calls.clear();
    host.programWorks = false;
    host.saveTarget.reset();
    EXPECT_EQ(OpenAttachment(jpeg, fx.types, host, state), OpenOutcome::Cancelled);
    EXPECT_EQ(host.calls.back(), "save a.jpg");

    host.calls.clear();
    fx.types.ApplyRow("image/jpeg", "", ".jpg", 1);
    OpenAttachment(jpeg, fx.types, host, state);
    EXPECT_EQ(host.calls, (std::vector<std::string>{"save a.jpg"}));
    EXPECT_EQ(host.saveStart, fx.dir / "saved");
}

TEST(AttachmentPane, EnclosedMessageIsHandedToTheFolderAndParses) {
    MimeFixture fx;
    FakeHost host;
    AttachmentPaneState state;
    // A stored .eml as the decoder writes it: CR LF, a "." line inside.
    MailMessage outer;
    fx.Parse(outer,
             "Content-Type: multipart/mixed; boundary=b\n\n--b\n"
             "Content-Type: message/rfc822\n\n"
             "From: inner@x\nSubject: inner\n\nfirst\n...\nlast\n--b--\n");
    ASSERT_EQ(outer.attachments.size(), 1u);
    EXPECT_EQ(OpenAttachment(outer.attachments[0], fx.types, host, state),
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
    FakeHost host;
    host.okCancel = false;
    EXPECT_FALSE(ReleaseAttachments(m, {0, 1, 2}, fx.Attach(), host));
    EXPECT_EQ(m.attachments.size(), 3u);

    host.okCancel = true;
    host.yesNo = {true, false};
    EXPECT_TRUE(ReleaseAttachments(m, {2, 0, 1}, fx.Attach(), host));
    EXPECT_TRUE(m.attachments.empty());
    EXPECT_TRUE(m.dirty);
    ASSERT_EQ(host.questions.size(), 4u);
    EXPECT_EQ(host.questions[2], std::string(kDeleteFileQuestion) + "\n(" + inside1.string() + ")");
    EXPECT_FALSE(std::filesystem::exists(inside1));
    EXPECT_TRUE(std::filesystem::exists(inside2));
    EXPECT_TRUE(std::filesystem::exists(outside));
}

TEST(AttachmentPane, LaunchAndExplore) {
    MimeFixture fx;
    FakeHost host;
    AttachmentEntry e{fx.dir / "f.txt", "text", "plain", "7bit"};
    EXPECT_FALSE(LaunchAttachmentWith(e, host));
    host.program = "/usr/bin/less";
    EXPECT_TRUE(LaunchAttachmentWith(e, host));
    EXPECT_TRUE(ExploreAttachmentFolder(e, host));
    EXPECT_EQ(host.calls.back(), "explore " + fx.dir.Path().string());
}

}  // namespace
}  // namespace corvina::test
