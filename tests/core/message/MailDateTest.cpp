#include <gtest/gtest.h>

#include <cstdlib>

#include "message/MailDate.h"

namespace corvina {
namespace {

struct Zone {
    const char* name;
    int minutes;  // east of UTC
};

// 12:00:00 UTC on 7 Dec 1998 written in every named zone of the table and
// every military letter.
TEST(ParseMailDate, EveryZoneGivesTheSameInstant) {
    const std::time_t reference = ParseMailDate("Mon, 07 Dec 1998 12:00:00 GMT");
    ASSERT_NE(reference, 0);
    const Zone zones[] = {{"UT", 0},     {"GMT", 0},    {"WET", 0},    {"JST", 540},  {"EST", -300},
                          {"EDT", -240}, {"EET", 120},  {"CST", -360}, {"CDT", -300}, {"CET", 60},
                          {"PST", -480}, {"PDT", -420}, {"MST", -420}, {"MDT", -360}, {"MET", 60},
                          {"BST", 60},   {"YST", -480}, {"YDT", -420}, {"HST", -600}, {"IST", -60},
                          {"TST", 420},  {"AST", -240}, {"ADT", -180}, {"SST", 450},  {"NST", -210},
                          {"NDT", -150}, {"A", -60},    {"I", -540},   {"K", -600},   {"M", -720},
                          {"N", 60},     {"Y", 720},    {"Z", 0},      {"J", 0}};
    for (const Zone& z : zones) {
        std::time_t local = 12 * 3600 + z.minutes * 60;  // wall clock in that zone
        std::time_t base = 7 * 86400;                    // keep the day in range
        std::time_t wall = base + local;
        int day = 7 + static_cast<int>((wall / 86400) - 7);
        int secs = static_cast<int>(((wall % 86400) + 86400) % 86400);
        char text[80];
        std::snprintf(text, sizeof text, "Mon, %02d Dec 1998 %02d:%02d:%02d %s", day, secs / 3600,
                      secs / 60 % 60, secs % 60, z.name);
        EXPECT_EQ(ParseMailDate(text), reference) << text;
        // The numeric form of the same offset agrees (a zone with 0 hours is not applied).
        if (z.minutes / 60 != 0) {
            int a = std::abs(z.minutes);
            std::snprintf(text, sizeof text, "Mon, %02d Dec 1998 %02d:%02d:%02d %c%02d%02d", day,
                          secs / 3600, secs / 60 % 60, secs % 60, z.minutes < 0 ? '-' : '+', a / 60,
                          a % 60);
            EXPECT_EQ(ParseMailDate(text), reference) << text;
        }
    }
    // DST adds an hour to the zone named before it.
    EXPECT_EQ(ParseMailDate("Mon, 07 Dec 1998 05:00:00 PST DST"), reference);
}

TEST(ParseMailDate, FieldRules) {
    EXPECT_EQ(ParseMailDate(""), 0);
    EXPECT_EQ(ParseMailDate("Mon, 07 Dec 1998 18:45:03 +0900"),
              ParseMailDate("Mon, 07 Dec 1998 09:45:03 GMT"));
    // Without a zone the local zone is used.
    EXPECT_EQ(ParseMailDate("7 Dec 1998 09:45:03"),
              ParseMailDate("7 Dec 1998 09:45:03" + LocalZoneSuffix()));
    // 96 is 1996; 05 is the day; any order, any case, comments ignored.
    EXPECT_EQ(ParseMailDate("05 jan 96 10:00:00 GMT"),
              ParseMailDate("Fri, 5 Jan 1996 10:00:00 GMT"));
    EXPECT_EQ(ParseMailDate("Jan 5 10:00:00 1996 GMT (Coordinated)"),
              ParseMailDate("Fri, 5 Jan 1996 10:00:00 GMT"));
    // Missing time parts are 0.
    EXPECT_EQ(ParseMailDate("5 Jan 1996 10:00 GMT"), ParseMailDate("5 Jan 1996 10:00:00 GMT"));
    EXPECT_EQ(ParseMailDate("5 Jan 1996 10:00:00 GMT") - ParseMailDate("4 Jan 1996 10:00:00 GMT"),
              86400);
    // Garbage does not crash and numbers cannot overflow.
    ParseMailDate("99999999999999999999:9999999999999:99 -99999999999 Dec");
}

TEST(FormatMailDate, FormsAndZoneSuffix) {
    std::time_t t = 912995103;  // 1998-12-07 01:45:03 UTC
    EXPECT_EQ(FormatMailDate(t, 0), "Mon, 07 Dec 1998 01:45:03 GMT");
    EXPECT_EQ(FormatMailDate(t, 540), "Mon, 07 Dec 1998 10:45:03 +0900");
    EXPECT_EQ(FormatMailDate(t, -330), "Sun, 06 Dec 1998 20:15:03 -0530");
    EXPECT_EQ(ZoneSuffix(0), " GMT");
    // The output reads back as the same instant.
    EXPECT_EQ(ParseMailDate(FormatMailDate(t, 540)), ParseMailDate(FormatMailDate(t, 0)));
    // A machine at UTC writes " GMT".
    const char* old = std::getenv("TZ");
    std::string saved = old ? old : "";
    setenv("TZ", "UTC", 1);
    tzset();
    EXPECT_EQ(CurrentZoneSuffix(), " GMT");
    setenv("TZ", "Asia/Tokyo", 1);
    tzset();
    EXPECT_EQ(CurrentZoneSuffix(), " +0900");
    if (old) {
        setenv("TZ", saved.c_str(), 1);
    } else {
        unsetenv("TZ");
    }
    tzset();
    std::string now = FormatMailDate();
    EXPECT_EQ(now.size(), 25u + LocalZoneSuffix().size());
    EXPECT_EQ(now.substr(now.size() - LocalZoneSuffix().size()), LocalZoneSuffix());
}

}  // namespace
}  // namespace corvina
