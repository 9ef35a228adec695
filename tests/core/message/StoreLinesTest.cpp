#include "message/StoreLines.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace corvina {
namespace {

TEST(StoreLines, TheFourStoreLinesInAnyCase) {
    EXPECT_TRUE(IsStoreLine("X-Marlo-Attachment-File: /etc/passwd"));
    EXPECT_TRUE(IsStoreLine("x-marlo-decorded:1"));
    EXPECT_TRUE(IsStoreLine("X-MARLO-REPLY: 1"));
    EXPECT_TRUE(IsStoreLine("X-Marlo-Encoding:2"));
    EXPECT_FALSE(IsStoreLine("X-Marlo-Replied: 1"));
    EXPECT_FALSE(IsStoreLine("X-Marlo-ReplyFolder:Work"));
    EXPECT_FALSE(IsStoreLine(" X-Marlo-Reply: 1"));
}

// What the filter keeps of one message followed by the next one.
std::vector<std::string> Kept(StoreLineFilter& filter, const std::vector<std::string>& lines) {
    std::vector<std::string> kept;
    for (const std::string& line : lines) {
        if (!filter.Drops(line)) {
            kept.push_back(line);
        }
    }
    return kept;
}

TEST(StoreLines, FilterDropsHeaderFieldsWithTheirContinuationsOnly) {
    StoreLineFilter filter;
    EXPECT_EQ(Kept(filter, {"From: a@b\r\n", "X-Marlo-Reply: 1\n", "\t folded\n", "X-Other: 1\n",
                            " folded kept\n", "x-marlo-decorded:1\n", "\r\n",
                            "X-Marlo-Reply: body stays\n"}),
              (std::vector<std::string>{"From: a@b\r\n", "X-Other: 1\n", " folded kept\n", "\r\n",
                                        "X-Marlo-Reply: body stays\n"}));
    EXPECT_FALSE(filter.InHeader());
    filter.Reset();
    EXPECT_TRUE(filter.Drops("X-Marlo-Encoding: 2"));
    EXPECT_FALSE(filter.Drops("Subject: next"));
}

}  // namespace
}  // namespace corvina
