#pragma once
// A long message body for the editor benchmark, the same bytes for the same
// seed: mostly English prose of mail width (some of it quoted), Japanese
// lines of kana and kanji with some half-width katakana, blank lines between
// paragraphs, and now and then a line of a few KB (a pasted paragraph or a
// Japanese paragraph written without line breaks). Every character is one
// Shift_JIS holds, so the body converts to code page 932 and back unchanged.

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <string>

namespace corvina::bench {

class EditorBodyGenerator {
public:
    explicit EditorBodyGenerator(std::uint64_t seed = 0xed17) : state_(seed) {}

    // `lines` lines, each ending with LF, in UTF-8.
    std::string Utf8Body(std::size_t lines) {
        std::string out;
        out.reserve(lines * 84);
        for (std::size_t i = 0; i < lines; ++i) {
            AppendLine(out);
            out += '\n';
        }
        return out;
    }

private:
    void AppendLine(std::string& out) {
        const std::uint64_t roll = Next() % 1000;
        if (roll < 30) {
            return;  // a blank line between paragraphs
        }
        if (roll < 33) {
            LongLine(out);
        } else if (roll < 290) {
            JapaneseLine(out, 16 + Next() % 20);
        } else if (roll < 380) {
            out += Next() % 4 == 0 ? "> > " : "> ";
            ProseLine(out, 50 + Next() % 22);
        } else {
            if (Next() % 40 == 0) {
                out += '\t';
            }
            ProseLine(out, 44 + Next() % 32);
        }
    }

    // Words until the line holds about `width` bytes.
    void ProseLine(std::string& out, std::size_t width) {
        static const char* const kWords[] = {
            "the",     "message",  "server",   "folder", "reply",    "thanks", "we",
            "will",    "check",    "again",    "before", "Monday's", "build",  "release",
            "mailbox", "account",  "settings", "about",  "that,",    "and",    "patch",
            "review",  "attached", "file",     "please", "see",      "below.", "I",
            "think",   "it",       "works",    "now;",   "but",      "the",    "old",
            "client",  "breaks",   "long",     "lines",  "(again)",  "at",     "72",
            "columns", "when",     "quoting",  "text",   "from",     "2019.",  "Regards,"};
        const std::size_t start = out.size();
        while (out.size() - start < width) {
            if (out.size() > start) {
                out += ' ';
            }
            out += kWords[Next() % std::size(kWords)];
        }
    }

    // Phrases until the line holds about `chars` Japanese characters.
    void JapaneseLine(std::string& out, std::size_t chars) {
        static const char* const kPhrases[] = {"お世話になっております。",
                                               "来週の会議の件ですが、",
                                               "資料を添付しますので",
                                               "ご確認ください。",
                                               "よろしくお願いいたします。",
                                               "東京本社の",
                                               "サーバーの設定を",
                                               "変更しました。",
                                               "メールが届かない",
                                               "ｶﾀｶﾅの",
                                               "ﾒｰﾙｱﾄﾞﾚｽ",
                                               "について、",
                                               "検討した結果、",
                                               "問題ありません。",
                                               "予定通り",
                                               "第２四半期の",
                                               "報告書を",
                                               "送付します。",
                                               "「添付ファイル」",
                                               "大阪支店",
                                               "ありがとうございました。",
                                               "Corvina の",
                                               "バージョン 1.12 で",
                                               "確認済みです。"};
        std::size_t n = 0;
        while (n < chars) {
            const char* phrase = kPhrases[Next() % std::size(kPhrases)];
            out += phrase;
            n += CharCount(phrase);
        }
    }

    // A line of 2 to 8 KB: a paragraph pasted without breaks, in English or
    // in Japanese.
    void LongLine(std::string& out) {
        const std::size_t bytes = 2048 + Next() % 6144;
        const std::size_t start = out.size();
        const bool japanese = Next() % 2 == 0;
        while (out.size() - start < bytes) {
            if (japanese) {
                JapaneseLine(out, 20);
            } else {
                ProseLine(out, 60);
                out += ' ';
            }
        }
    }

    static std::size_t CharCount(const char* utf8) {
        std::size_t n = 0;
        for (const char* p = utf8; *p != '\0'; ++p) {
            n += (static_cast<unsigned char>(*p) & 0xC0) != 0x80 ? 1 : 0;
        }
        return n;
    }

    // splitmix64: the same sequence on every platform.
    std::uint64_t Next() {
        std::uint64_t z = (state_ += 0x9e3779b97f4a7c15ULL);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
        return z ^ (z >> 31);
    }

    std::uint64_t state_;
};

}  // namespace corvina::bench
