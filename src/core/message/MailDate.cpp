#include "message/MailDate.h"

#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <vector>

namespace corvina {

namespace {

constexpr const char* kWeekdays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                   "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) {
        return false;
    }
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (Lower(text[i]) != Lower(prefix[i])) {
            return false;
        }
    }
    return true;
}

bool EqualNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && StartsWithNoCase(a, b);
}

struct ZoneName {
    const char* name;
    int hours;
    int minutes;
};

constexpr ZoneName kZones[] = {{"UT", 0, 0},     {"GMT", 0, 0},   {"WET", 0, 0},   {"JST", 9, 0},
                               {"EST", -5, 0},   {"EDT", -4, 0},  {"EET", 2, 0},   {"CST", -6, 0},
                               {"CDT", -5, 0},   {"CET", 1, 0},   {"PST", -8, 0},  {"PDT", -7, 0},
                               {"MST", -7, 0},   {"MDT", -6, 0},  {"MET", 1, 0},   {"BST", 1, 0},
                               {"YST", -8, 0},   {"YDT", -7, 0},  {"HST", -10, 0}, {"IST", -1, 0},
                               {"TST", 7, 0},    {"AST", -4, 0},  {"ADT", -3, 0},  {"SST", 7, 30},
                               {"NST", -3, -30}, {"NDT", -2, -30}};

// The leading decimal number of text (sign allowed), at most nine digits so
// it never overflows; 0 when there is none.
long LeadingNumber(std::string_view text) {
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    long value = 0;
    int digits = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9' && digits < 9) {
        value = value * 10 + (text[i] - '0');
        ++i;
        ++digits;
    }
    return negative ? -value : value;
}

int OffsetMinutesAt(std::time_t when) {
    std::tm local{};
    localtime_r(&when, &local);
    return static_cast<int>(local.tm_gmtoff / 60);
}

}  // namespace

long LocalStandardOffsetWest() {
    static std::mutex lock;
    static bool known = false;
    static bool tzSet = false;
    static std::string tzValue;
    static long offset = 0;
    const std::lock_guard<std::mutex> guard(lock);
    const char* tz = std::getenv("TZ");
    if (!known || tzSet != (tz != nullptr) || (tz != nullptr && tzValue != tz)) {
        tzset();
        known = true;
        tzSet = tz != nullptr;
        tzValue = tz != nullptr ? tz : "";
        offset = timezone;
    }
    return offset;
}

std::string ZoneSuffix(int offsetMinutes) {
    if (offsetMinutes == 0) {
        return " GMT";
    }
    int a = offsetMinutes < 0 ? -offsetMinutes : offsetMinutes;
    char buf[16];
    std::snprintf(buf, sizeof buf, " %c%02d%02d", offsetMinutes > 0 ? '+' : '-', (a / 60) % 100,
                  a % 60);
    return buf;
}

std::string CurrentZoneSuffix() {
    return ZoneSuffix(OffsetMinutesAt(std::time(nullptr)));
}

const std::string& LocalZoneSuffix() {
    static const std::string suffix = CurrentZoneSuffix();
    return suffix;
}

std::string FormatMailDate(std::time_t when, int offsetMinutes) {
    std::time_t shifted = when + static_cast<std::time_t>(offsetMinutes) * 60;
    std::tm t{};
    gmtime_r(&shifted, &t);
    char buf[64];
    std::snprintf(buf, sizeof buf, "%s, %02d %s %04d %02d:%02d:%02d", kWeekdays[t.tm_wday % 7],
                  t.tm_mday, kMonths[t.tm_mon % 12], t.tm_year + 1900, t.tm_hour, t.tm_min,
                  t.tm_sec);
    return std::string(buf) + ZoneSuffix(offsetMinutes);
}

std::string FormatMailDate() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char buf[64];
    std::snprintf(buf, sizeof buf, "%s, %02d %s %04d %02d:%02d:%02d", kWeekdays[local.tm_wday % 7],
                  local.tm_mday, kMonths[local.tm_mon % 12], local.tm_year + 1900, local.tm_hour,
                  local.tm_min, local.tm_sec);
    return std::string(buf) + LocalZoneSuffix();
}

std::time_t ParseMailDate(std::string_view text) {
    if (text.empty()) {
        return 0;
    }
    std::vector<std::string_view> tokens;
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && (text[i] == ' ' || text[i] == ',' || text[i] == '\t' ||
                                   text[i] == '\r' || text[i] == '\n')) {
            ++i;
        }
        std::size_t start = i;
        while (i < text.size() && !(text[i] == ' ' || text[i] == ',' || text[i] == '\t' ||
                                    text[i] == '\r' || text[i] == '\n')) {
            ++i;
        }
        if (i > start) {
            tokens.push_back(text.substr(start, i - start));
        }
    }

    bool weekdaySeen = false, monthSet = false, timeSeen = false;
    int month = 0;
    long day = 0, year = -1;
    long hours = 0, minutes = 0, seconds = 0;
    long zoneHours = 0, zoneMinutes = 0;
    auto numericZone = [&](std::string_view token) {
        long value = LeadingNumber(token);
        zoneHours = value / 100;
        zoneMinutes = value % 100;
    };

    for (std::size_t k = 0; k < tokens.size(); ++k) {
        std::string_view tok = tokens[k];
        if (!weekdaySeen) {
            bool isWeekday = false;
            for (const char* w : kWeekdays) {
                if (StartsWithNoCase(tok, w)) {
                    isWeekday = true;
                }
            }
            if (isWeekday) {
                weekdaySeen = true;
                continue;
            }
        }
        if (!monthSet) {
            int found = -1;
            for (int m = 0; m < 12; ++m) {
                if (StartsWithNoCase(tok, kMonths[m])) {
                    found = m;
                }
            }
            if (found >= 0) {
                month = found;
                monthSet = true;
                continue;
            }
        }
        if (!timeSeen && tok.find(':') != std::string_view::npos) {
            timeSeen = true;
            long parts[3] = {0, 0, 0};
            std::size_t p = 0;
            for (int f = 0; f < 3 && p <= tok.size(); ++f) {
                parts[f] = LeadingNumber(tok.substr(p));
                std::size_t colon = tok.find(':', p);
                if (colon == std::string_view::npos) {
                    break;
                }
                p = colon + 1;
            }
            hours = parts[0];
            minutes = parts[1];
            seconds = parts[2];
            if (k + 1 == tokens.size()) {
                numericZone(std::string_view(LocalZoneSuffix()).substr(1));
            }
            continue;
        }
        if (tok[0] == '+' || tok[0] == '-') {
            numericZone(tok);
            continue;
        }
        if (tok[0] == '(') {
            continue;
        }
        long number = LeadingNumber(tok);
        if (number != 0) {
            if (number >= 1 && number <= 31) {
                day = number;
            } else if (number > 1900) {
                year = number;
            } else if (year < 0) {
                year = number + 1900;
            }
            continue;
        }
        bool named = false;
        for (const ZoneName& z : kZones) {
            if (EqualNoCase(tok, z.name)) {
                zoneHours = z.hours;
                zoneMinutes = z.minutes;
                named = true;
                break;
            }
        }
        if (named) {
            continue;
        }
        if (EqualNoCase(tok, "DST")) {
            zoneHours += 1;
            continue;
        }
        if (tok.size() == 1) {
            char c = static_cast<char>(tok[0] & ~0x20);  // upper case
            if (c >= 'A' && c <= 'I') {
                zoneHours = -(c - 'A' + 1);
                zoneMinutes = 0;
            } else if (c >= 'K' && c <= 'M') {
                zoneHours = -(c - 'K' + 10);
                zoneMinutes = 0;
            } else if (c >= 'N' && c <= 'Y') {
                zoneHours = c - 'N' + 1;
                zoneMinutes = 0;
            }
        }
    }

    std::tm t{};
    t.tm_year = static_cast<int>((year < 0 ? 1970 : year) - 1900);
    t.tm_mon = month;
    t.tm_mday = static_cast<int>(day);
    t.tm_hour = static_cast<int>(hours);
    t.tm_min = static_cast<int>(minutes);
    t.tm_sec = static_cast<int>(seconds);
    t.tm_isdst = 0;
    // Local standard time, as mktime would read it with no daylight
    // saving, without reading the zone again for every date.
    std::time_t value = timegm(&t);
    if (value == static_cast<std::time_t>(-1)) {
        return 0;
    }
    value += LocalStandardOffsetWest();
    if (zoneHours != 0) {
        long shift = ((zoneHours < 0 ? -zoneHours : zoneHours) * 60 +
                      (zoneMinutes < 0 ? -zoneMinutes : zoneMinutes)) *
                     60;
        value += zoneHours < 0 ? shift : -shift;
    }
    return value;
}

}  // namespace corvina
