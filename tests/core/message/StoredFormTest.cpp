// The stored form's one codec: every field it reads is written back and
// read again alike, names match in any case, attachment links read with
// either separator, and the store's own lines count only when trusted.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "common/CodePage.h"
#include "message/MailMessage.h"
#include "message/StoredForm.h"

namespace corvina {
namespace {

const std::filesystem::path kMailbox = "/home/u/Mail/User0";

// Reads a header block (LF or CR LF lines, no folding, up to the first
// empty line) through the codec; returns the lines kept as other headers.
std::vector<std::string> ReadHeader(std::string_view text, MailMessage& m, bool trusted) {
    StoredFieldReader reader(kMailbox, CodePage::Get(1252), trusted);
    std::vector<std::string> kept;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t lf = text.find('\n', pos);
        std::string_view line = text.substr(pos, lf - pos);
        pos = lf == std::string_view::npos ? text.size() : lf + 1;
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        if (line.empty()) {
            break;
        }
        if (reader.Apply(line, m)) {
            kept.emplace_back(line);
        }
    }
    return kept;
}

struct FieldCase {
    const char* what;
    std::function<std::string(const MailMessage&)> get;
    std::string expected;
};

const std::vector<FieldCase>& EveryField() {
    static const std::vector<FieldCase> cases = {
        {"From", [](const MailMessage& m) { return m.from; }, "Ann <ann@example.org>"},
        {"To", [](const MailMessage& m) { return m.to; }, "bob@example.org"},
        {"Cc", [](const MailMessage& m) { return m.cc; }, "carol@example.org"},
        {"Bcc", [](const MailMessage& m) { return m.bcc; }, "dan@example.org"},
        {"Resent-From", [](const MailMessage& m) { return m.resentFrom; }, "fw@example.org"},
        {"Resent-To", [](const MailMessage& m) { return m.resentTo; }, "fw-to@example.org"},
        {"Resent-Cc", [](const MailMessage& m) { return m.resentCc; }, "fw-cc@example.org"},
        {"Resent-Bcc", [](const MailMessage& m) { return m.resentBcc; }, "fw-bcc@example.org"},
        {"Resent-Date", [](const MailMessage& m) { return m.resentDate; },
         "Tue, 2 Jan 2024 10:00:00 +0000"},
        {"Resent-Reply-To", [](const MailMessage& m) { return m.resentReplyTo; }, "rr@example.org"},
        {"Subject", [](const MailMessage& m) { return m.subject; }, "Every field"},
        {"Date", [](const MailMessage& m) { return m.date; }, "Mon, 1 Jan 2024 09:00:00 +0000"},
        {"Reply-To", [](const MailMessage& m) { return m.replyTo; }, "r@example.org"},
        {"X-Priority", [](const MailMessage& m) { return std::to_string(m.priority); }, "2"},
        {"Status", [](const MailMessage& m) { return m.status; }, "O"},
        {"Message-Id", [](const MailMessage& m) { return m.messageId; }, "<m2@example.org>"},
        {"References", [](const MailMessage& m) { return m.parentReference; }, "<p1@example.org>"},
        {"Content-Type",
         [](const MailMessage& m) { return m.contentType + "/" + m.contentSubtype; }, "text/plain"},
        {"Content-Transfer-Encoding", [](const MailMessage& m) { return m.transferEncoding; },
         "7bit"},
        {"Resent flag", [](const MailMessage& m) { return std::to_string(m.hasResent); }, "1"},
        {"Decoded", [](const MailMessage& m) { return std::to_string(m.decoded); }, "1"},
        {"Replied", [](const MailMessage& m) { return std::to_string(m.replied); }, "1"},
        {"Encoding", [](const MailMessage& m) { return std::to_string(m.encoding); }, "2"},
        {"Links",
         [](const MailMessage& m) {
             std::string links;
             for (const AttachmentEntry& a : m.attachments) {
                 links += a.path.string() + ";";
             }
             return links;
         },
         "/home/u/Mail/User0/Attach/sub/win.gif;/home/u/Mail/User0/Attach/sub/unix.gif;"},
    };
    return cases;
}

TEST(StoredForm, EveryFieldReadsInAnyCaseAndRoundTrips) {
    const std::string file = test::ReadFileBytes(test::DataPath("store/every-stored-field.mbx"));
    MailMessage read(0);
    const std::vector<std::string> kept = ReadHeader(file, read, true);
    for (const FieldCase& c : EveryField()) {
        EXPECT_EQ(c.get(read), c.expected) << c.what;
    }
    EXPECT_EQ(kept,
              (std::vector<std::string>{
                  "received:from a by b", "reply-to:r@example.org",
                  "Resent-Reply-To:rr@example.org", "message-id:<m2@example.org>",
                  "in-reply-to:<p1@example.org>", "REFERENCES:<p0@example.org> <p1@example.org>",
                  "content-type:text/plain; charset=us-ascii", "CONTENT-TRANSFER-ENCODING:7bit",
                  "x-marlo-replyfolder:Work\\Old"}));

    read.otherHeaders = kept;
    std::string written;
    AppendStoredHeader(read, kMailbox, written);
    EXPECT_NE(written.find("\nX-Marlo-Attachment-File:sub/win.gif\n"), std::string::npos)
        << written;
    MailMessage again(0);
    EXPECT_EQ(ReadHeader(written, again, true), kept);
    for (const FieldCase& c : EveryField()) {
        EXPECT_EQ(c.get(again), c.expected) << c.what << " after writing\n" << written;
    }
}

TEST(StoredForm, OwnLinesAndStatusAreDroppedFromOutside) {
    const std::string file = test::ReadFileBytes(test::DataPath("store/every-stored-field.mbx"));
    MailMessage m(0);
    const std::vector<std::string> kept = ReadHeader(file, m, false);
    EXPECT_TRUE(m.attachments.empty());
    EXPECT_FALSE(m.decoded);
    EXPECT_FALSE(m.replied);
    EXPECT_EQ(m.encoding, 0);
    EXPECT_EQ(m.status, "");
    EXPECT_EQ(m.from, "Ann <ann@example.org>");
    // Another line with the store's prefix is an ordinary one.
    EXPECT_EQ(kept.back(), "x-marlo-replyfolder:Work\\Old");
    for (const std::string& line : kept) {
        EXPECT_FALSE(IsOwnStoreField(ClassifyStoredLine(line).field)) << line;
    }
}

TEST(StoredForm, NamesAreWholeNamesBeforeTheColon) {
    const struct {
        std::string_view line;
        StoredField field;
    } cases[] = {
        {"SUBJECT:x", StoredField::Subject},
        {"Subject :x", StoredField::Other},
        {"Subjects:x", StoredField::Other},
        {"From", StoredField::Other},
        {"From x@y Mon Jan  1", StoredField::Other},
        {"Resent-Message-Id:<r>", StoredField::ResentOther},
        {"X-Marlo-ReplyFolder:Work", StoredField::OwnOther},
        {"X-Marlo-Decorded:1", StoredField::Decoded},
        {"X-MSMail-Priority: High", StoredField::OtherPriority},
        {"X-Comment: Priority: high", StoredField::Other},
        {"x-priority:1", StoredField::Priority},
        {"", StoredField::Other},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ClassifyStoredLine(c.line).field, c.field) << c.line;
    }
}

}  // namespace
}  // namespace corvina
