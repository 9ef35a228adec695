#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "MimeTestSupport.h"
#include "common/Bytes.h"

namespace corvina::test {
namespace {

struct Expectation {
    std::string file;
    std::size_t count = 0;
    std::vector<std::string> names;
};

std::vector<Expectation> ReadExpectations() {
    std::vector<Expectation> out;
    std::string text = ReadFileBytes(DataPath("mime/python-email/expectations.tsv"));
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        std::vector<std::string_view> cols = Split(line, '\t');
        if (cols.size() < 2) {
            continue;
        }
        Expectation e;
        e.file = cols[0];
        e.count = static_cast<std::size_t>(AtoI(cols[1]));
        if (cols.size() > 2 && !cols[2].empty()) {
            for (std::string_view name : Split(cols[2], '|')) {
                e.names.emplace_back(name);
            }
        }
        out.push_back(std::move(e));
    }
    return out;
}

TEST(Corpus, PythonEmailSamplesGiveTheExpectedAttachments) {
    std::vector<Expectation> expectations = ReadExpectations();
    ASSERT_GE(expectations.size(), 40u);
    for (const Expectation& e : expectations) {
        SCOPED_TRACE(e.file);
        MimeFixture fx;
        MailMessage m;
        ParseResult r = fx.Parse(m, ReadFileBytes(DataPath("mime/python-email/" + e.file)));
        EXPECT_FALSE(r.limitReached);
        EXPECT_GT(m.bodyLineCount, 0);
        EXPECT_EQ(m.attachments.size(), e.count);
        EXPECT_EQ(fx.AttachmentNames(m), e.names);
        for (const AttachmentEntry& a : m.attachments) {
            EXPECT_EQ(a.path.parent_path(), fx.Attach());
            EXPECT_TRUE(std::filesystem::is_regular_file(a.path));
        }
        // Every sample survives the stored form unchanged.
        std::string stored = SerializeMessage(m, fx.dir.Path());
        MailMessage back;
        fx.options.trustStoreLines = true;
        fx.Parse(back, stored);
        EXPECT_EQ(SerializeMessage(back, fx.dir.Path()), stored);
    }
}

TEST(Corpus, KnownContentOfSelectedSamples) {
    MimeFixture fx;
    MailMessage m;
    fx.Parse(m, ReadFileBytes(DataPath("mime/python-email/msg_07.txt")));
    ASSERT_EQ(m.attachments.size(), 1u);
    std::string gif = ReadFileBytes(m.attachments[0].path);
    EXPECT_EQ(gif.substr(0, 6), "GIF87a");
    EXPECT_EQ(m.attachments[0].type, "image");
}

}  // namespace
}  // namespace corvina::test
