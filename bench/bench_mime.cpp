// ParseMessage throughput on generated messages of four kinds (plain text,
// multipart with a base64 attachment, ISO-2022-JP, quoted-printable), with
// the attachment directory on a RAM-backed temporary directory; and
// BuildOutgoingText of a message with a 10 MB attachment.

#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <system_error>
#include <vector>

#include "common/CodePage.h"
#include "message/Base64.h"
#include "message/QuotedPrintable.h"
#include "message/mime/MessageParser.h"
#include "message/mime/MimeTypeTable.h"
#include "message/mime/OutgoingText.h"
#include "store/MailMessage.h"

namespace {

using namespace corvina;

std::filesystem::path RamDir() {
    static const std::filesystem::path dir = [] {
        std::filesystem::path base = std::filesystem::is_directory("/dev/shm")
                                         ? "/dev/shm"
                                         : std::filesystem::temp_directory_path();
        std::string pattern = (base / "benchmimeXXXXXX").string();
        char* made = mkdtemp(pattern.data());
        return std::filesystem::path(made ? made : "/tmp");
    }();
    return dir;
}

std::string Header(int i, const std::string& contentLines) {
    std::string h;
    for (int r = 0; r < 4; ++r) {
        h += "Received: from relay" + std::to_string(r) +
             ".example.net (relay.example.net [192.0.2.1]) by mx.example.com with ESMTPS id "
             "abc" +
             std::to_string(i) + "; Mon, 07 Dec 2026 09:45:03 +0000\n";
    }
    h += "From: Sender " + std::to_string(i) + " <sender" + std::to_string(i) +
         "@example.org>\nTo: Reader <reader@example.com>\nSubject: Message number " +
         std::to_string(i) +
         " about the weekly report\nDate: Mon, 07 Dec 2026 09:45:03 +0000\n"
         "Message-ID: <" +
         std::to_string(i) + ".1234@example.org>\nMIME-Version: 1.0\n" + contentLines + "\n";
    return h;
}

std::string Prose(std::mt19937& rng, std::size_t bytes) {
    static const char* const kWords[] = {
        "the",    "report",  "shows",  "that", "quarterly", "numbers", "improved", "and", "we",
        "expect", "further", "growth", "in",   "several",   "regions", "next",     "year"};
    std::string out;
    std::size_t col = 0;
    while (out.size() < bytes) {
        const char* w = kWords[rng() % 17];
        out += w;
        col += std::strlen(w);
        if (col > 66) {
            out += "\n";
            col = 0;
        } else {
            out += ' ';
            ++col;
        }
    }
    out += "\n";
    return out;
}

enum Kind { kPlain, kMultipart, kJapanese, kQuotedPrintable };

std::vector<std::string> Corpus(Kind kind) {
    std::mt19937 rng(42 + kind);
    std::vector<std::string> out;
    for (int i = 0; i < 200; ++i) {
        std::string text;
        switch (kind) {
            case kPlain:
                text = Header(i, "Content-Type: text/plain; charset=us-ascii\n") +
                       Prose(rng, 4000 + rng() % 8000);
                break;
            case kMultipart: {
                std::string blob(20000 + rng() % 60000, '\0');
                for (char& c : blob) {
                    c = static_cast<char>(rng());
                }
                std::string b64;
                std::string all = Base64EncodeText(blob);
                for (std::size_t p = 0; p < all.size(); p += 76) {
                    b64 += all.substr(p, 76) + "\n";
                }
                text = Header(i, "Content-Type: multipart/mixed; boundary=\"=_b" +
                                     std::to_string(i) + "\"\n") +
                       "This is a multi-part message.\n\n--=_b" + std::to_string(i) +
                       "\nContent-Type: text/plain; charset=us-ascii\n\n" + Prose(rng, 2000) +
                       "\n--=_b" + std::to_string(i) +
                       "\nContent-Type: application/octet-stream; name=\"data" + std::to_string(i) +
                       ".bin\"\nContent-Transfer-Encoding: base64\n"
                       "Content-Disposition: attachment; filename=\"data" +
                       std::to_string(i) + ".bin\"\n\n" + b64 + "--=_b" + std::to_string(i) +
                       "--\n";
                break;
            }
            case kJapanese: {
                // JIS lines: hiragana and kanji pairs between escapes.
                std::string body;
                for (int l = 0; l < 120; ++l) {
                    body += "\x1b$B";
                    for (int k = 0; k < 30; ++k) {
                        body += static_cast<char>(0x24 + (rng() % 2) * 0x0C + (rng() % 3));
                        body += static_cast<char>(0x21 + rng() % 0x50);
                    }
                    body += "\x1b(B abc\n";
                }
                text = Header(i,
                              "Content-Type: text/plain; charset=ISO-2022-JP\n"
                              "Content-Transfer-Encoding: 7bit\n") +
                       body;
                break;
            }
            case kQuotedPrintable: {
                std::string prose = Prose(rng, 6000 + rng() % 6000);
                std::string qp;
                std::size_t pos = 0;
                while (pos < prose.size()) {
                    std::size_t lf = prose.find('\n', pos);
                    std::string line = prose.substr(pos, lf - pos);
                    line.insert(line.size() / 2, "caf\xE9 \xFC");
                    qp += QpEncodeLine(line) + "\n";
                    pos = lf + 1;
                }
                for (char& c : qp) {
                    if (c == '\r') {
                        c = ' ';
                    }
                }
                text = Header(i,
                              "Content-Type: text/plain; charset=iso-8859-1\n"
                              "Content-Transfer-Encoding: quoted-printable\n") +
                       qp;
                break;
            }
        }
        out.push_back(std::move(text));
    }
    return out;
}

void BM_ParseMessage(benchmark::State& state) {
    const Kind kind = static_cast<Kind>(state.range(0));
    const std::vector<std::string> corpus = Corpus(kind);
    static const MimeTypeTable types;
    ParseOptions options;
    options.codePage = &CodePage::Get(CodePage::kUtf8);
    options.types = &types;
    options.mailboxDirectory = RamDir();
    std::size_t bytes = 0;
    std::size_t messages = 0;
    for (auto _ : state) {
        for (const std::string& text : corpus) {
            MailMessage m;
            ParseMessage(m, text, options);
            benchmark::DoNotOptimize(m.bodyLineCount);
            bytes += text.size();
            ++messages;
        }
        state.PauseTiming();
        std::error_code ec;
        std::filesystem::remove_all(RamDir() / "Attach", ec);
        state.ResumeTiming();
    }
    state.SetBytesProcessed(static_cast<int64_t>(bytes));
    state.SetItemsProcessed(static_cast<int64_t>(messages));
}
BENCHMARK(BM_ParseMessage)
    ->Arg(kPlain)
    ->Arg(kMultipart)
    ->Arg(kJapanese)
    ->Arg(kQuotedPrintable)
    ->ArgName("kind(0=plain,1=multipart,2=iso2022jp,3=qp)")
    ->Unit(benchmark::kMillisecond);

void BM_BuildOutgoingText10MB(benchmark::State& state) {
    std::filesystem::path file = RamDir() / "big.bin";
    {
        std::mt19937 rng(7);
        std::string blob(10 * 1024 * 1024, '\0');
        for (char& c : blob) {
            c = static_cast<char>(rng());
        }
        std::ofstream(file, std::ios::binary)
            .write(blob.data(), static_cast<std::streamsize>(blob.size()));
    }
    MailMessage m(0);
    m.from = "me@example.com";
    m.to = "you@example.org";
    m.subject = "big file";
    m.messageId = "<fixed@example.com>";
    m.AddBodyLine("Here it is.");
    m.attachments.push_back({file, "application", "octet-stream", "base64"});
    OutgoingOptions options;
    options.codePage = &CodePage::Get(CodePage::kUtf8);
    options.dateText = "Mon, 07 Dec 2026 09:45:03 +0000";
    std::size_t sent = 0;
    for (auto _ : state) {
        bool ok = BuildOutgoingText(
            m,
            [&](std::string_view line) {
                sent += line.size() + 2;
                return true;
            },
            options);
        benchmark::DoNotOptimize(ok);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * 10 * 1024 * 1024);
    state.counters["wire_bytes"] =
        static_cast<double>(sent) / static_cast<double>(state.iterations());
    std::error_code ec;
    std::filesystem::remove(file, ec);
}
BENCHMARK(BM_BuildOutgoingText10MB)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
