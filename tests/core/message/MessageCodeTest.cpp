#include <gtest/gtest.h>

#include <map>

#include "RecordingPrompt.h"
#include "common/CodePage.h"
#include "common/UserPrompt.h"
#include "message/MessageCode.h"

namespace corvina {
namespace {

// A message kept as plain fields and lines; Serialize/Restore copy them.
class FakeMessage : public ConvertibleMessage {
public:
    std::map<ConvertedField, std::string> fields;
    std::vector<std::string> body;
    int restores = 0;

    std::string Serialize() const override {
        std::string s;
        for (auto f : {ConvertedField::From, ConvertedField::To, ConvertedField::Cc,
                       ConvertedField::Subject}) {
            s += FieldValue(f) + '\n';
        }
        for (const auto& l : body) {
            s += l + '\n';
        }
        return s;
    }
    bool Restore(std::string_view copy) override {
        ++restores;
        std::vector<std::string> lines;
        std::size_t pos = 0;
        while (pos < copy.size()) {
            std::size_t lf = copy.find('\n', pos);
            lines.emplace_back(copy.substr(pos, lf - pos));
            pos = lf + 1;
        }
        int i = 0;
        for (auto f : {ConvertedField::From, ConvertedField::To, ConvertedField::Cc,
                       ConvertedField::Subject}) {
            fields[f] = lines[i++];
        }
        body.assign(lines.begin() + 4, lines.end());
        return true;
    }
    std::string FieldValue(ConvertedField f) const override {
        auto it = fields.find(f);
        return it == fields.end() ? std::string() : it->second;
    }
    void SetFieldValue(ConvertedField f, std::string v) override { fields[f] = std::move(v); }
    std::size_t BodyLineCount() const override { return body.size(); }
    std::string BodyLine(std::size_t i) const override { return body[i]; }
    void SetBodyLine(std::size_t i, std::string line) override { body[i] = std::move(line); }
};

class StatusLine : public StatusSink {
public:
    std::vector<std::string> texts;
    void ShowStatus(std::string_view text) override { texts.emplace_back(text); }
};

const std::string kEuc = "\xC6\xFC\xCB\xDC";  // 日本
const std::string kSjis = "\x93\xFA\x96\x7B";

FakeMessage Sample() {
    FakeMessage m;
    m.fields[ConvertedField::From] = "a@x";
    m.fields[ConvertedField::Subject] = kEuc;
    m.fields[ConvertedField::To] = "bad \xA9\xA1";  // not JIS X 0208: stays
    m.body = {"line " + kEuc, "\xA9\xA1 broken", kEuc};
    return m;
}

TEST(ConvertMessageCode, FailingLineRestoresTheMessageUnlessForced) {
    const CodePage& sjis = CodePage::Get(CodePage::kShiftJis);
    FakeMessage m = Sample();
    const std::string before = m.Serialize();
    EXPECT_FALSE(ConvertMessageCode(m, CodeDirection::EucToSjis, false, sjis));
    EXPECT_EQ(m.restores, 1);
    EXPECT_EQ(m.Serialize(), before);

    EXPECT_TRUE(ConvertMessageCode(m, CodeDirection::EucToSjis, true, sjis));
    EXPECT_EQ(m.fields[ConvertedField::Subject], kSjis);
    EXPECT_EQ(m.fields[ConvertedField::To], "bad \xA9\xA1");  // a failing header stays
    EXPECT_EQ(m.body, (std::vector<std::string>{"line " + kSjis, "\xA9\xA1 broken", kSjis}));

    // A clean message converts without force, and back again.
    FakeMessage clean;
    clean.fields[ConvertedField::Subject] = kEuc;
    clean.body = {kEuc, "ascii"};
    EXPECT_TRUE(ConvertMessageCode(clean, CodeDirection::EucToSjis, false, sjis));
    EXPECT_EQ(clean.body[0], kSjis);
    EXPECT_TRUE(ConvertMessageCode(clean, CodeDirection::SjisToEuc, false, sjis));
    EXPECT_EQ(clean.body[0], kEuc);
    EXPECT_EQ(clean.fields[ConvertedField::Subject], kEuc);
}

// EUC-JP reaches every multi-byte W; a page or direction that cannot take
// the text refuses at once and leaves the message alone.
TEST(ConvertMessageCode, EveryMultiByteWorkingCodePage) {
    struct Case {
        int codePage;
        CodeDirection direction;
        bool converts;
        std::string body;  // the first body line afterwards
    } const cases[] = {
        {CodePage::kShiftJis, CodeDirection::EucToSjis, true, "line " + kSjis},
        {CodePage::kUtf8, CodeDirection::EucToSjis, true, "line 日本"},
        {CodePage::kUtf8, CodeDirection::SjisToEuc, false, "line " + kEuc},
        {1252, CodeDirection::EucToSjis, false, "line " + kEuc},
    };
    for (const Case& c : cases) {
        FakeMessage m = Sample();
        m.body = {"line " + kEuc, "\x8E\xB1 \x8F\xB0\xA1"};
        m.fields[ConvertedField::To] = "";
        const std::string before = m.Serialize();
        EXPECT_EQ(ConvertMessageCode(m, c.direction, false, CodePage::Get(c.codePage)), c.converts)
            << c.codePage;
        EXPECT_EQ(m.body[0], c.body) << c.codePage;
        EXPECT_EQ(m.restores, 0) << c.codePage;
        if (!c.converts) {
            EXPECT_EQ(m.Serialize(), before) << c.codePage;
        }
    }
    // Without force one invalid line keeps the whole message on UTF-8 too.
    FakeMessage m = Sample();
    const std::string before = m.Serialize();
    EXPECT_FALSE(
        ConvertMessageCode(m, CodeDirection::EucToSjis, false, CodePage::Get(CodePage::kUtf8)));
    EXPECT_EQ(m.Serialize(), before);
    EXPECT_EQ(m.restores, 1);
}

TEST(RunCodeConversionCommand, AsksAndReports) {
    const CodePage& sjis = CodePage::Get(CodePage::kShiftJis);
    test::RecordingPrompt prompt;
    StatusLine status;
    FakeMessage m = Sample();
    EXPECT_FALSE(RunCodeConversionCommand(m, CodeDirection::EucToSjis, prompt, status, sjis));
    ASSERT_EQ(prompt.questions.size(), 1u);
    EXPECT_EQ(prompt.questions[0].text,
              "This may not be EUC text\nDo you want to force to convert skipping error lines?");
    EXPECT_EQ(prompt.questions[0].buttons, ConfirmButtons::YesNo);
    EXPECT_EQ(prompt.questions[0].preset, ConfirmAnswer::No);
    EXPECT_EQ(status.texts, std::vector<std::string>{"Conversion Failed!"});
    prompt.answers.push_back(ConfirmAnswer::Yes);
    EXPECT_TRUE(RunCodeConversionCommand(m, CodeDirection::SjisToEuc, prompt, status, sjis));
    EXPECT_EQ(prompt.questions[1].text,
              "This may not be Shift-JIS text\nDo you want to force to convert skipping error "
              "lines?");
}

}  // namespace
}  // namespace corvina
