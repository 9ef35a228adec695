#pragma once
// The generated messages of the MIME benchmarks: plain text, multipart
// with a base64 attachment, ISO-2022-JP, quoted-printable, EUC-JP and
// Shift_JIS, 200 of each, with realistic header blocks; and a RAM-backed
// scratch directory.

#include <stdlib.h>

#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "message/Base64.h"
#include "message/JapaneseCode.h"
#include "message/QuotedPrintable.h"

namespace corvina::bench {

inline std::filesystem::path RamDir() {
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

inline std::string Header(int i, const std::string& contentLines) {
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

inline std::string Prose(std::mt19937& rng, std::size_t bytes) {
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

// EUC-JP of the corpus's ISO-2022-JP text: each two-byte pair with its high
// bits set, the escapes dropped.
inline std::string JisToEuc(const std::string& jis) {
    std::string out;
    bool twoByte = false;
    for (std::size_t i = 0; i < jis.size(); ++i) {
        if (jis.compare(i, 3, "\x1b$B") == 0 || jis.compare(i, 3, "\x1b(B") == 0) {
            twoByte = jis[i + 1] == '$';
            i += 2;
        } else if (twoByte && i + 1 < jis.size() && jis[i] != '\n') {
            out += static_cast<char>(jis[i] | 0x80);
            out += static_cast<char>(jis[++i] | 0x80);
        } else {
            out += jis[i];
        }
    }
    return out;
}

enum Kind { kPlain, kMultipart, kJapanese, kQuotedPrintable, kEucJp, kShiftJisText };

inline std::vector<std::string> Corpus(Kind kind) {
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
            case kJapanese:
            case kEucJp:
            case kShiftJisText: {
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
                if (kind == kJapanese) {
                    text = Header(i,
                                  "Content-Type: text/plain; charset=ISO-2022-JP\n"
                                  "Content-Transfer-Encoding: 7bit\n") +
                           body;
                    break;
                }
                // The same text as 8-bit Shift_JIS or EUC-JP.
                text = kind == kShiftJisText
                           ? Header(i,
                                    "Content-Type: text/plain; charset=Shift_JIS\n"
                                    "Content-Transfer-Encoding: 8bit\n") +
                                 JisToSjis(body)
                           : Header(i,
                                    "Content-Type: text/plain; charset=EUC-JP\n"
                                    "Content-Transfer-Encoding: 8bit\n") +
                                 JisToEuc(body);
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

}  // namespace corvina::bench
