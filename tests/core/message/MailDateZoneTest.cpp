// Dates read in the local zone, which is looked up once and again only
// when the TZ variable changes.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

#include "message/MailDate.h"

namespace corvina {
namespace {

// The value the C library gives for a UTC wall-clock time read as local
// standard time.
std::time_t LocalStandard(int year, int month, int day, int hour) {
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_isdst = 0;
    return std::mktime(&t);
}

class ZoneVariable : public ::testing::Test {
protected:
    void SetUp() override {
        const char* old = std::getenv("TZ");
        had_ = old != nullptr;
        saved_ = had_ ? old : "";
    }
    void TearDown() override {
        if (had_)
            setenv("TZ", saved_.c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }

private:
    bool had_ = false;
    std::string saved_;
};

TEST_F(ZoneVariable, ParsedDatesFollowEveryChangeOfTheZone) {
    const char* winter = "Tue, 04 Mar 2025 10:00:00 +0000";
    const char* summer = "Sun, 06 Jul 2025 22:30:00 GMT";
    for (const char* zone : {"UTC", "JST-9", "EST5EDT", "Europe/London", "UTC"}) {
        // No tzset here: the parser must notice the change itself.
        setenv("TZ", zone, 1);
        EXPECT_EQ(ParseMailDate(winter), LocalStandard(2025, 3, 4, 10)) << zone;
        EXPECT_EQ(ParseMailDate(summer), LocalStandard(2025, 7, 6, 22) + 30 * 60) << zone;
        EXPECT_EQ(LocalStandardOffsetWest(), timezone) << zone;
    }
    setenv("TZ", "JST-9", 1);
    EXPECT_EQ(LocalStandardOffsetWest(), -9 * 3600);
    // The zone written in the date still counts.
    EXPECT_EQ(ParseMailDate("Tue, 04 Mar 2025 19:00:00 +0900"), ParseMailDate(winter));
    unsetenv("TZ");
    tzset();
    EXPECT_EQ(ParseMailDate(winter), LocalStandard(2025, 3, 4, 10));
}

}  // namespace
}  // namespace corvina
