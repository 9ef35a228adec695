#include "SampleHome.h"

#include <array>
#include <cstdio>

#include "TestSupport.h"
#include "common/BufferedFile.h"
#include "common/CodePage.h"
#include "common/IniFile.h"
#include "message/HeaderUnfold.h"
#include "message/MailMessage.h"
#include "message/mime/MessageParser.h"
#include "platform/ConfigStore.h"
#include "store/FolderNames.h"
#include "store/Mailbox.h"

namespace corvina::test {

namespace {

struct SampleMail {
    const char* file;    // below tests/data
    const char* folder;  // folder name, levels joined by "\"
    bool read;
    bool replied;
};

// In delivery order; the list shows them threaded by date.
constexpr SampleMail kSampleMails[] = {
    {"sample/old-offer.eml", "Trash", true, false},
    {"sample/welcome.eml", "InBox", true, false},
    {"html/newsletter.eml", "InBox", false, false},
    {"sample/lighthouse-project.eml", "Work\\Projects", true, false},
    {"sample/committee-meeting.eml", "InBox", true, true},
    {"html/gmail-reply.eml", "InBox", false, false},
    {"sample/sent-reply.eml", "OutBox\\Sent", true, false},
    {"html/alternative-with-plain.eml", "InBox", true, true},
    {"html/outlook-reply.eml", "InBox", true, false},
    {"sample/release-plan.eml", "Work", true, false},
    {"sample/design-review.eml", "Work", false, false},
    {"html/receipt-tables.eml", "InBox", true, false},
    {"sample/photos-with-attachments.eml", "InBox", false, false},
    {"sample/room-booking-jis.eml", "InBox", true, true},
    {"sample/room-booking-reply.eml", "InBox", false, false},
};

constexpr const char* kLargeMark = "large-inbox v2";

bool Fail(std::string* why, const std::string& text) {
    if (why) {
        *why = text;
    }
    return false;
}

bool Deliver(const std::filesystem::path& mailboxDir, const SampleMail& mail, std::string* why) {
    const std::string raw = ReadFileBytes(DataPath(mail.file));
    if (raw.empty()) {
        return Fail(why, std::string("cannot read tests/data/") + mail.file);
    }
    ParseOptions options;
    options.mailboxDirectory = mailboxDir;
    options.ownAddress = "reader@example.org";
    MailMessage message;
    ParseMessage(message, ReceivedForm(raw), options);
    message.status.clear();
    message.read = mail.read;
    message.replied = mail.replied;
    StoreContext context{mailboxDir, nullptr};
    if (!AppendToFolderFile(message, mail.folder, context)) {
        return Fail(why, std::string("cannot append to folder ") + mail.folder);
    }
    return true;
}

// A date in the mail's form, one minute per step from 1 January 2020.
std::string GeneratedDate(int step) {
    static constexpr std::array<const char*, 12> kMonths = {
        "Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const int minutes = step % 60;
    const int hours = (step / 60) % 24;
    const int day = 1 + (step / 1440) % 28;
    const int month = (step / (1440 * 28)) % 12;
    const int year = 2020 + step / (1440 * 28 * 12);
    char text[64];
    std::snprintf(text, sizeof text, "%d %s %d %02d:%02d:00 +0000", day, kMonths[month], year,
                  hours, minutes);
    return text;
}

constexpr std::array<const char*, 8> kWords = {"report",  "schedule", "review", "budget",
                                               "release", "meeting",  "draft",  "invoice"};
constexpr std::array<const char*, 6> kSenders = {
    "Anna Berg <anna.berg@example.com>",     "Tom Hale <tom.hale@example.co.uk>",
    "Priya Nair <priya@example.net>",        "Marta Silva <marta.silva@example.com>",
    "Omar Haddad <omar.haddad@example.com>", "Lena Fischer <lena.fischer@example.de>"};

// About 8 KB: a few header lines as today's mail has them and 72 body lines.
void GeneratedMessage(MailMessage& m, int index) {
    m.from = kSenders[static_cast<std::size_t>(index) % kSenders.size()];
    m.to = "reader@example.org";
    m.subject = std::string(index % 5 == 0 ? "" : "Re: ") + "Weekly " +
                kWords[static_cast<std::size_t>(index / 5) % kWords.size()] + " #" +
                std::to_string(index / 5);
    m.date = GeneratedDate(index);
    m.read = index % 20 != 0;
    m.decoded = true;
    m.AddOtherHeader("Message-Id: <gen-" + std::to_string(index) + "@bench.example>");
    if (index % 5 != 0) {
        m.AddOtherHeader("In-Reply-To: <gen-" + std::to_string(index - 1) + "@bench.example>");
    }
    m.AddOtherHeader(
        "Received: from mx.bench.example (mx.bench.example [10.1.2.3]) by "
        "mail.example.org (Postfix) with ESMTPS id 4Q" +
        std::to_string(index) + " for <reader@example.org>");
    m.AddOtherHeader("Content-Type: text/plain; charset=utf-8");
    for (int line = 0; line < 72; ++line) {
        std::string text = "Line " + std::to_string(line) + " of message " + std::to_string(index) +
                           ": the figures for the ";
        text += kWords[static_cast<std::size_t>(line + index) % kWords.size()];
        text += " are attached below, as discussed on the phone.";
        m.AddBodyLine(text);
    }
}

void LargeBodyMessage(MailMessage& m, int index) {
    m.from = "Build Robot <robot@ci.example>";
    m.to = "reader@example.org";
    m.subject = kLargeBodySubject;
    m.date = GeneratedDate(index);
    m.decoded = true;
    m.AddOtherHeader("Message-Id: <large-body@bench.example>");
    std::string line(79, '.');
    for (int n = 0; n < 131072; ++n) {
        std::snprintf(line.data(), line.size(), "%07d build step passed; cache hit ratio 0.%02d ",
                      n, n % 100);
        m.AddBodyLine(line);
    }
}

bool WriteGenerated(const std::filesystem::path& path, const std::filesystem::path& mailboxDir,
                    int first, int count, bool largeBody) {
    BufferedFile file;
    if (!file.Open(path, BufferedFile::kWrite)) {
        return false;
    }
    bool ok = true;
    for (int i = first; i < first + count && ok; ++i) {
        MailMessage m;
        GeneratedMessage(m, i);
        ok = WriteMessage(m, file, mailboxDir);
    }
    if (largeBody && ok) {
        MailMessage m;
        LargeBodyMessage(m, first + count);
        ok = WriteMessage(m, file, mailboxDir);
    }
    ok = file.Close() && ok;
    // Private, as the client keeps its folder files.
    std::error_code error;
    std::filesystem::permissions(
        path, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write, error);
    return ok && !error;
}

}  // namespace

std::filesystem::path SampleMailboxDir(const std::filesystem::path& home) {
    return home / "User0";
}

void WriteSampleSettings(ConfigStore& config, const std::filesystem::path& home) {
    config.SetString("Settings", "HomeDir", home.string() + "/");
    config.SetInt("Settings", "CodePage", CodePage::kUtf8);
    config.SetInt("Settings", "MsgThread", 1);
    config.SetString("Users\\0", "Account", "Sample Account");
    config.SetString("Users\\0", "Name", "Reader");
    config.SetString("Users\\0", "Address", "reader@example.org");
    config.SetString("Users\\0", "POP", "127.0.0.1");
    config.SetString("Users\\0", "SMTP", "127.0.0.1");
    if (!config.Path().empty()) {
        config.Save();
    }
}

bool WriteSampleHome(const std::filesystem::path& home, std::string* why) {
    const std::filesystem::path box = SampleMailboxDir(home);
    std::error_code error;
    for (const char* dir : {"Attach", "OutBox", "Work"}) {
        std::filesystem::create_directories(box / dir, error);
    }
    if (error) {
        return Fail(why, "cannot create " + box.string() + ": " + error.message());
    }
    for (const SampleMail& mail : kSampleMails) {
        if (!Deliver(box, mail, why)) {
            return false;
        }
    }
    // The InBox is shown threaded: the folder's own switch wins over
    // MsgThread whenever a folder is shown.
    if (!WritePrivateProfileString("Settings", "Thread", "1", ControlFilePath(box / "InBox.mbx"))) {
        return Fail(why, "cannot write the InBox's control file in " + box.string());
    }
    return true;
}

std::optional<std::filesystem::path> LargeInBoxHome(const std::filesystem::path& cacheDir,
                                                    int count, std::string* why) {
    const std::filesystem::path home = cacheDir / ("large-inbox-" + std::to_string(count));
    const std::filesystem::path box = SampleMailboxDir(home);
    const std::filesystem::path mark = home / "complete";
    const std::string expected = std::string(kLargeMark) + " " + std::to_string(count) + "\n";
    if (ReadFileBytes(mark) == expected) {
        return home;
    }
    std::error_code error;
    std::filesystem::remove_all(home, error);
    std::filesystem::create_directories(box / "Attach", error);
    std::filesystem::create_directories(box / "OutBox", error);
    if (error) {
        Fail(why, "cannot create " + box.string() + ": " + error.message());
        return std::nullopt;
    }
    if (!WriteGenerated(box / "InBox.mbx", box, 0, count, true) ||
        !WriteGenerated(box / "Work.mbx", box, count + 1, 50, false)) {
        Fail(why, "cannot write the generated folders in " + box.string());
        return std::nullopt;
    }
    WriteFileBytes(mark, expected);
    return home;
}

}  // namespace corvina::test
