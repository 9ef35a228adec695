#pragma once
// Writes a mailbox of generated, realistic messages for the store
// benchmarks: Received chains, a DKIM signature and the other header lines
// of today's mail (about 3 KB of header each) and mixed body sizes, in the
// store's own format. The same seed gives the same bytes.

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

namespace corvina::bench {

class MailboxGenerator {
public:
    explicit MailboxGenerator(std::uint64_t seed = 0x5eed) : state_(seed) {}

    // Appends one message in the store's format to out.
    void AppendMessage(std::string& out, int index) {
        const std::string id = Token(16) + "@" + Host();
        out += "From:" + Name() + " <" + Word(7) + "@" + Host() + ">\r\n";
        out += "To:" + Word(6) + "@example.org\r\n";
        if (Next() % 4 == 0) {
            out += "Cc:" + Word(5) + "@example.net, " + Word(6) + "@example.com\r\n";
        }
        out += "Subject:" + Sentence(3 + Next() % 8) + "\r\n";
        out += "Date:Tue, " + std::to_string(1 + index % 28) + " Mar 2025 " +
               std::to_string(10 + index % 13) + ":" + std::to_string(10 + index % 50) +
               ":07 +0000\r\n";
        out += "X-Priority:3\r\n";
        if (Next() % 3 != 0) {
            out += "Status:R\r\n";
        }
        const int hops = 4 + static_cast<int>(Next() % 4);
        for (int h = 0; h < hops; ++h) {
            out += "Received: from " + Host() + " (" + Host() + " [10." +
                   std::to_string(Next() % 255) + "." + std::to_string(Next() % 255) + ".7])" +
                   " by " + Host() + " (Postfix) with ESMTPS id " + Token(12) + " for <" + Word(6) +
                   "@example.org>; Tue, 4 Mar 2025 10:11:12 +0000 (UTC)\r\n";
        }
        out += "DKIM-Signature: v=1; a=rsa-sha256; c=relaxed/relaxed; d=" + Host() +
               "; s=selector1; h=from:to:subject:date:message-id:mime-version:content-type;"
               " bh=" +
               Token(44) + ";\r\n b=";
        for (int i = 0; i < 6; ++i) {
            out += Token(64) + "\r\n\t ";
        }
        out += Token(20) + "\r\n";
        out += "ARC-Seal: i=1; a=rsa-sha256; t=1741083072; cv=none; d=" + Host() +
               "; s=arc; b=" + Token(180) + "\r\n";
        out += "ARC-Message-Signature: i=1; a=rsa-sha256; c=relaxed/relaxed; d=" + Host() +
               "; s=arc; h=from:to:subject; bh=" + Token(44) + "; b=" + Token(200) + "\r\n";
        out += "Authentication-Results: mx.example.org; dkim=pass header.d=" + Host() +
               "; spf=pass smtp.mailfrom=" + Host() +
               "; dmarc=pass (p=REJECT) header.from=" + Host() + "\r\n";
        out += "Message-ID: <" + id + ">\r\n";
        if (index > 0 && Next() % 2 == 0) {
            out += "In-Reply-To: <" + Token(16) + "@" + Host() + ">\r\n";
            out += "References: <" + Token(16) + "@" + Host() + "> <" + Token(16) + "@" + Host() +
                   ">\r\n";
        }
        out += "MIME-Version: 1.0\r\n";
        out += "Content-Type: text/plain; charset=\"utf-8\"\r\n";
        out += "Content-Transfer-Encoding: 8bit\r\n";
        out += "List-Id: <" + Word(8) + ".lists.example.org>\r\n";
        out += "List-Unsubscribe: <https://lists.example.org/unsubscribe/" + Token(40) + ">\r\n";
        out += "X-Mailer: Generated Mailer 4.2\r\n";
        out +=
            "X-Spam-Status: No, score=-2.1 required=5.0 tests=BAYES_00,DKIM_SIGNED,"
            "DKIM_VALID,SPF_PASS autolearn=ham\r\n";
        out += "\r\n";
        // Mostly small bodies, some medium, a few large ones.
        const std::uint64_t r = Next() % 100;
        const int bodyLines = r < 60   ? 12 + static_cast<int>(Next() % 44)
                              : r < 95 ? 56 + static_cast<int>(Next() % 112)
                                       : 420 + static_cast<int>(Next() % 700);
        for (int i = 0; i < bodyLines; ++i) {
            const std::uint64_t kind = Next() % 50;
            if (kind == 0) {
                out += "..\r\n";  // a body line "." as stored
            } else if (kind == 1) {
                out += "\r\n";
            } else {
                out += Sentence(5 + Next() % 7) + "\r\n";
            }
        }
        out += ".\r\n";
    }

    // Writes `count` messages to path; false on a write error.
    bool WriteMailbox(const std::filesystem::path& path, int count) {
        std::FILE* f = std::fopen(path.c_str(), "wb");
        if (f == nullptr) {
            return false;
        }
        std::string chunk;
        bool ok = true;
        for (int i = 0; i < count && ok; ++i) {
            AppendMessage(chunk, i);
            if (chunk.size() > (1u << 20) || i + 1 == count) {
                ok = std::fwrite(chunk.data(), 1, chunk.size(), f) == chunk.size();
                chunk.clear();
            }
        }
        return std::fclose(f) == 0 && ok;
    }

private:
    std::uint64_t Next() {
        // xorshift64*
        state_ ^= state_ >> 12;
        state_ ^= state_ << 25;
        state_ ^= state_ >> 27;
        return state_ * 0x2545F4914F6CDD1DULL;
    }
    std::string Token(int n) {
        static const char kChars[] =
            "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
        std::string s(static_cast<std::size_t>(n), 'x');
        for (char& c : s) {
            c = kChars[Next() % 64];
        }
        return s;
    }
    std::string Word(int maxLength) {
        std::string s(1 + Next() % static_cast<std::uint64_t>(maxLength), 'a');
        for (char& c : s) {
            c = static_cast<char>('a' + Next() % 26);
        }
        return s;
    }
    std::string Name() { return Capital(Word(8)) + " " + Capital(Word(10)); }
    std::string Host() { return Word(8) + "." + Word(6) + ".example.com"; }
    std::string Sentence(std::uint64_t words) {
        std::string s = Capital(Word(9));
        for (std::uint64_t i = 1; i < words; ++i) {
            s += " " + Word(9);
        }
        return s;
    }
    static std::string Capital(std::string s) {
        s[0] = static_cast<char>(s[0] - 'a' + 'A');
        return s;
    }

    std::uint64_t state_;
};

}  // namespace corvina::bench
