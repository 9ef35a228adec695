#include "transfer/LineConnection.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <thread>

#include "ScriptedServer.h"
#include "TestSupport.h"
#include "transfer/AbortSignal.h"

namespace corvina {
namespace {

using test::ScriptedServer;
using test::ServerConnection;
using test::TestCertificate;

std::vector<SocketAddress> Loopback(uint16_t port, const char* host = "127.0.0.1") {
    return LineConnection::Resolve(host, port);
}

// Points OpenSSL's default trust at one file for the life of the object.
class TrustFile {
public:
    explicit TrustFile(const std::filesystem::path& file) {
        const char* old = getenv("SSL_CERT_FILE");
        had_ = old != nullptr;
        if (had_) {
            old_ = old;
        }
        setenv("SSL_CERT_FILE", file.c_str(), 1);
    }
    ~TrustFile() {
        if (had_) {
            setenv("SSL_CERT_FILE", old_.c_str(), 1);
        } else {
            unsetenv("SSL_CERT_FILE");
        }
    }

private:
    bool had_ = false;
    std::string old_;
};

TEST(LineConnection, SplitsLinesAtCrLfOrNulOnly) {
    ScriptedServer server([](ServerConnection& c) {
        c.Send("+OK one\r\nbare\nlf\r\nnul");
        c.Send(std::string("\0", 1));
        c.Send("split cr\r");
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        c.Send("\nlast\r\n");
    });
    LineConnection connection;
    ASSERT_TRUE(connection.Connect(Loopback(server.Port())));
    EXPECT_EQ(connection.ReadLine().value_or("?"), "+OK one");
    EXPECT_EQ(connection.ReadLine().value_or("?"), "bare\nlf");
    EXPECT_EQ(connection.ReadLine().value_or("?"), "nul");
    EXPECT_EQ(connection.ReadLine().value_or("?"), "split cr");
    EXPECT_EQ(connection.ReadLine().value_or("?"), "last");
}

TEST(LineConnection, CutsOverlongLineAndKeepsTheNextOne) {
    std::string longLine(10000, 'x');
    ScriptedServer server([&](ServerConnection& c) { c.Send(longLine + "\r\nnext\r\n"); });
    LineConnection connection;
    ASSERT_TRUE(connection.Connect(Loopback(server.Port())));
    std::optional<std::string> first = connection.ReadLine();
    ASSERT_TRUE(first);
    EXPECT_EQ(first->size(), LineConnection::kDefaultMaxLine);
    EXPECT_TRUE(connection.LastLineCut());
    EXPECT_EQ(connection.ReadLine().value_or("?"), "next");
    EXPECT_FALSE(connection.LastLineCut());
    // A line exactly at the limit is kept whole.
    std::string exact(LineConnection::kDefaultMaxLine, 'y');
    ScriptedServer server2([&](ServerConnection& c) { c.Send(exact + "\r\n"); });
    ASSERT_TRUE(connection.Connect(Loopback(server2.Port())));
    EXPECT_EQ(connection.ReadLine().value_or("?"), exact);
    EXPECT_FALSE(connection.LastLineCut());
}

TEST(LineConnection, CloseMidLineBreaksTheConnection) {
    ScriptedServer server([](ServerConnection& c) {
        c.Send("+OK part of a li");
        c.Close();
    });
    LineConnection connection;
    ASSERT_TRUE(connection.Connect(Loopback(server.Port())));
    EXPECT_FALSE(connection.ReadLine());
    EXPECT_TRUE(connection.IsBroken());
    EXPECT_FALSE(connection.WriteLine("QUIT"));
    EXPECT_FALSE(connection.ReadLine());
}

TEST(LineConnection, TimesOutOnASilentServer) {
    ScriptedServer server([](ServerConnection& c) { c.WaitForClose(5); });
    LineConnection connection;
    connection.SetTimeout(1);
    ASSERT_TRUE(connection.Connect(Loopback(server.Port())));
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(connection.ReadLine());
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(4));
    EXPECT_NE(connection.LastError().find("in time"), std::string::npos);
    connection.Close();
}

TEST(LineConnection, AbortWakesABlockedRead) {
    ScriptedServer server([](ServerConnection& c) { c.WaitForClose(10); });
    AbortSignal abort;
    LineConnection connection(&abort);
    connection.SetTimeout(0);
    ASSERT_TRUE(connection.Connect(Loopback(server.Port())));
    std::thread aborter([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        abort.Raise();
    });
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(connection.ReadLine());
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    aborter.join();
    connection.Close();
    // Once cleared, the same signal does not disturb the next connection.
    abort.Clear();
    ScriptedServer server2([](ServerConnection& c) { c.SendLine("+OK"); });
    ASSERT_TRUE(connection.Connect(Loopback(server2.Port())));
    EXPECT_EQ(connection.ReadLine().value_or("?"), "+OK");
}

TEST(LineConnection, ConnectsOverIpv6AndFallsBackAcrossAddresses) {
    ScriptedServer server([](ServerConnection& c) { c.SendLine("220 v6"); }, true);
    std::vector<SocketAddress> addresses = Loopback(1, "127.0.0.1");  // nothing listens on 1
    std::vector<SocketAddress> v6 = Loopback(server.Port(), "::1");
    ASSERT_EQ(v6.size(), 1u);
    EXPECT_EQ(v6[0].ToString(), "[::1]:" + std::to_string(server.Port()));
    addresses.insert(addresses.end(), v6.begin(), v6.end());
    LineConnection connection;
    ASSERT_TRUE(connection.Connect(addresses));
    EXPECT_EQ(connection.ReadLine().value_or("?"), "220 v6");
}

TEST(LineConnection, BufferedDataLinesArriveInOrderAfterFlush) {
    std::vector<std::string> lines;
    for (int i = 0; i < 3000; ++i) {
        lines.push_back("data line " + std::to_string(i) + std::string(20, '.'));
    }
    ScriptedServer server([&](ServerConnection& c) {
        for (size_t i = 0; i <= lines.size(); ++i) {
            if (!c.ReadLine()) {
                return;
            }
        }
        c.SendLine("250 ok");
    });
    LineConnection connection;
    ASSERT_TRUE(connection.Connect(Loopback(server.Port())));
    for (const std::string& line : lines) {
        ASSERT_TRUE(connection.WriteLine(line, false));
    }
    ASSERT_TRUE(connection.WriteLine("."));
    EXPECT_EQ(connection.ReadLine().value_or("?"), "250 ok");
    std::vector<std::string> got = server.Finish();
    ASSERT_EQ(got.size(), lines.size() + 1);
    EXPECT_EQ(got.front(), lines.front());
    EXPECT_EQ(got[2999], lines[2999]);
    EXPECT_EQ(got.back(), ".");
}

// The server's go-ahead and a forged reply arrive in one segment; the forged
// line must never be read as a reply of the protected session.
TEST(LineConnection, StartTlsDiscardsPlainTextSentBeforeTheHandshake) {
    const TestCertificate& cert = TestCertificate::Get();
    TrustFile trust(cert.cert);
    ScriptedServer server([&](ServerConnection& c) {
        c.ReadLine();
        c.Send("+OK Begin TLS\r\n+OK forged\r\n");
        if (c.AcceptTls(cert)) {
            c.SendLine("+OK real");
        }
    });
    LineConnection connection;
    ASSERT_TRUE(connection.Connect(Loopback(server.Port())));
    ASSERT_TRUE(connection.WriteLine("STLS"));
    EXPECT_EQ(connection.ReadLine().value_or("?"), "+OK Begin TLS");
    if (connection.StartTls({"127.0.0.1", ""})) {
        EXPECT_EQ(connection.ReadLine().value_or("?"), "+OK real");
    }
}

TEST(LineConnection, VerifiesCertificateAndHostName) {
    const TestCertificate& cert = TestCertificate::Get();
    struct Case {
        const char* name;
        std::string host;
        std::string pin;
        bool trusted;
        bool ok;
    };
    const Case cases[] = {
        {"trusted, address matches", "127.0.0.1", "", true, true},
        {"trusted, name matches", "localhost", "", true, true},
        {"trusted, wrong name", "mail.example.org", "", true, false},
        {"not trusted", "127.0.0.1", "", false, false},
        {"pinned, not trusted", "127.0.0.1", cert.fingerprint, false, true},
        {"pinned lower case without colons", "other.name", "", false, true},
        {"wrong pin", "127.0.0.1", std::string(64, 'a'), true, false},
    };
    test::ScratchDir empty;
    test::WriteFileBytes(empty / "none.pem", "");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string pin = c.pin;
        if (std::string(c.name).find("lower case") != std::string::npos) {
            for (char ch : cert.fingerprint) {
                if (ch != ':') {
                    pin += static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
                }
            }
        }
        TrustFile trust(c.trusted ? cert.cert : empty / "none.pem");
        ScriptedServer server([&](ServerConnection& s) {
            if (s.AcceptTls(cert)) {
                s.SendLine("+OK secret");
            }
        });
        LineConnection connection;
        ASSERT_TRUE(connection.Connect(Loopback(server.Port())));
        bool ok = connection.StartTls({c.host, pin});
        EXPECT_EQ(ok, c.ok);
        if (ok) {
            EXPECT_EQ(connection.ReadLine().value_or("?"), "+OK secret");
            EXPECT_EQ(connection.PeerFingerprint(), cert.fingerprint);
        } else {
            EXPECT_FALSE(connection.IsOpen());
            EXPECT_NE(connection.LastError().find(cert.fingerprint), std::string::npos)
                << connection.LastError();
        }
    }
}

TEST(LineConnection, NormalisesFingerprints) {
    std::string hex(64, 'A');
    EXPECT_EQ(LineConnection::NormaliseFingerprint(std::string(64, 'a')), hex);
    std::string colons;
    for (int i = 0; i < 32; ++i) {
        colons += (i ? ":" : "") + std::string("aA");
    }
    EXPECT_EQ(LineConnection::NormaliseFingerprint(colons), hex);
    EXPECT_EQ(LineConnection::NormaliseFingerprint("AB:CD"), "");
    EXPECT_EQ(LineConnection::NormaliseFingerprint(std::string(63, 'A') + "G"), "");
}

}  // namespace
}  // namespace corvina
