#include <gtest/gtest.h>

#include "app/PasswordScrambler.h"
#include "batch/BatchOptions.h"

namespace corvina {
namespace {

BatchParse Parse(std::vector<std::string> args) {
    return ParseBatchOptions(args);
}

TEST(BatchOptions, CommandsWithTheirArguments) {
    auto list =
        Parse({"--account", "3", "--list", "Work\\Old", "--threaded", "--sort", "date:desc"});
    ASSERT_TRUE(list.options) << list.error;
    EXPECT_EQ(list.options->command, BatchCommand::kList);
    EXPECT_EQ(list.options->account, 3);
    EXPECT_EQ(list.options->folder, "Work\\Old");
    EXPECT_TRUE(list.options->threaded);
    EXPECT_EQ(list.options->sortColumn, 2);
    EXPECT_TRUE(list.options->sortDescending);

    auto show = Parse({"--show", "InBox", "12"});
    ASSERT_TRUE(show.options);
    EXPECT_EQ(show.options->messageNumber, 12);

    auto file = Parse({"--deliver-file", "m.eml"});
    ASSERT_TRUE(file.options);
    EXPECT_EQ(file.options->file, "m.eml");
    EXPECT_EQ(file.options->folder, "");

    auto pass = Parse({"--set-password", "--dialup"});
    ASSERT_TRUE(pass.options);
    EXPECT_EQ(pass.options->slot, PasswordSlot::kDialup);

    auto compose = Parse({"--compose", "--to", "a@x", "--to", "b@x", "--subject", "", "--attach",
                          "f1", "--attach", "f2", "--draft"});
    ASSERT_TRUE(compose.options) << compose.error;
    EXPECT_EQ(compose.options->to.size(), 2u);
    EXPECT_TRUE(compose.options->hasSubject);
    EXPECT_EQ(compose.options->attachments.size(), 2u);
    EXPECT_TRUE(compose.options->draft);
}

TEST(BatchOptions, UsageErrors) {
    const std::vector<std::vector<std::string>> bad = {
        {"--verbose"},                              // no command
        {"--receive", "--deliver"},                 // two commands
        {"--list"},                                 // no folder
        {"--list", "InBox", "Work"},                // two folders
        {"--show", "InBox"},                        // no number
        {"--show", "InBox", "0"},                   // numbers start at 1
        {"--show", "InBox", "2x"},                  // not a number
        {"--list", "InBox", "--sort", "size"},      // unknown column
        {"--list", "InBox", "--sort"},              // missing value
        {"--folders", "--threaded"},                // option of another command
        {"--receive", "--smtp"},                    // option of another command
        {"--set-password", "--smtp", "--dialup"},   // exclusive
        {"--receive", "--account", "10"},           // no such profile slot
        {"--receive", "--account"},                 // missing value
        {"--compose", "--subject", "x"},            // no recipient
        {"--compose", "--to", "a@x"},               // no subject
        {"--folders", "--frobnicate"},              // unknown option
        {"--deliver-file"},                         // no file
        {"--deliver-file", "a", "InBox", "extra"},  // too many
        {"--filter", "InBox"},                      // stray argument
    };
    for (const auto& args : bad) {
        BatchParse parse = ParseBatchOptions(args);
        EXPECT_FALSE(parse.options) << args[0] << " " << (args.size() > 1 ? args[1] : "");
        EXPECT_FALSE(parse.error.empty());
    }
}

TEST(BatchOptions, RecognisesBatchCommandLines) {
    EXPECT_TRUE(IsBatchCommandLine({"--account", "1", "--receive"}));
    EXPECT_FALSE(IsBatchCommandLine({"-a", "x@example.com"}));
    EXPECT_FALSE(IsBatchCommandLine({"--version"}));
    EXPECT_EQ(ParseSortColumn("Sender"), 1);
    EXPECT_EQ(ParseSortColumn("recipient"), 1);
    EXPECT_EQ(ParseSortColumn("4"), 3);
    EXPECT_FALSE(ParseSortColumn("0"));
}

}  // namespace
}  // namespace corvina

#include "batch/BatchRun.h"
#include "common/CodePage.h"

namespace corvina {
namespace {

TEST(BatchOutput, WorkingCodePageTextBecomesUtf8OnlyForAUtf8Terminal) {
    const int before = CodePage::Working().Id();
    CodePage::SetWorking(CodePage::kShiftJis);
    const std::string sjis = "\x93\xfa\x96\x7b";  // "Japan" in Shift_JIS
    EXPECT_EQ(OutputText(sjis, false), sjis);
    EXPECT_EQ(OutputText(sjis, true), "\xE6\x97\xA5\xE6\x9C\xAC");
    CodePage::SetWorking(CodePage::kUtf8);
    EXPECT_EQ(OutputText("\xE6\x97\xA5", true), "\xE6\x97\xA5");
    CodePage::SetWorking(before);
}

}  // namespace
}  // namespace corvina
