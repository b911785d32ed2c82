#include "update/UXFTP.h"

#include "UEventWait.h"
#include "USharedPeersTest.h"
#include "UTempFolder.h"
#include "support/UPeerProcess.h"

#include <QBuffer>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

const std::string kHello = "Hello, transfer!\nsecond line\n";
const std::string kInner = "inner file";

std::string BigContent() {
    std::string s(8 * 1024 * 1024, '\0');
    for (size_t i = 0; i < s.size(); ++i)
        s[i] = char('a' + (i * 7 + i / 4096) % 26);
    return s;
}

enum Peer { pNormal, pRefuseSize, pRefuseType, pClosedPort };

// The FTP peers, shared by the tests of this program.
struct Peers {
    TempFolder root;
    std::string dir = root / "srv";
    std::string log = root / "normal.log";
    std::string big = BigContent();
    std::unique_ptr<PeerProcess> normal, refuseSize, refuseType;
    uint16_t closedPort = 0;

    Peers() {
        WriteFile(dir + "/hello.txt", kHello);
        WriteFile(dir + "/sub/inner.txt", kInner);
        WriteFile(dir + "/empty.txt", "");
        WriteFile(dir + "/big.bin", big);
        normal = Start("normal", {"--log", log});
        refuseSize = Start("size", {"--refuse", "SIZE"});
        refuseType = Start("type", {"--refuse", "TYPE"});
        closedPort = FreePort();
    }

    std::unique_ptr<PeerProcess> Start(const std::string& name, std::vector<std::string> extra) {
        std::vector<std::string> argv = {
            "/usr/bin/python3",     std::string(SV_TEST_DIR) + "/ftp_server.py", "--dir", dir, "--port-file",
            root / (name + ".port")};
        argv.insert(argv.end(), extra.begin(), extra.end());
        return std::make_unique<PeerProcess>(argv, root / (name + ".port"));
    }

    uint16_t Port(Peer p) const {
        switch (p) {
        case pNormal:
            return normal->Port();
        case pRefuseSize:
            return refuseSize->Port();
        case pRefuseType:
            return refuseType->Port();
        case pClosedPort:
            return closedPort;
        }
        return 0;
    }

    size_t Logins() const {
        const std::string text = ReadFile(log);
        size_t n = 0;
        for (size_t pos = 0; (pos = text.find("logged in", pos)) != std::string::npos; pos += 9)
            ++n;
        return n;
    }
};

Peers* gPeers = nullptr;

class FtpTest : public SharedPeersTest<Peers, gPeers> {};

// Records the events of one component, as "connect", "error:fopSize:550" and so on; progress
// notices are counted apart. After each recorded event the next scripted step runs, from inside the
// handler as the real callers do.
struct Recorder {
    using Step = std::function<void(TXFTP&)>;
    TXFTP ftp;
    TempFolder local;
    QBuffer stream;
    std::vector<std::string> events;
    std::vector<Step> steps;
    size_t nextStep = 0;
    int progressCount = 0;
    int64_t lastProgress = 0;
    std::function<void(TXFTP&, int64_t, bool&)> onProgress;

    explicit Recorder(Peer peer, const std::string& password = "pass") {
        ftp.Host = "127.0.0.1";
        ftp.Port = std::to_string(gPeers->Port(peer));
        ftp.Passive = true;
        ftp.UserName = "user";
        ftp.Password = password;
        stream.open(QIODevice::ReadWrite);
        ftp.OnConnect = [this](TXFTP*) { Note("connect"); };
        ftp.OnConnectError = [this](TXFTP*, uint16_t e) { Note("connecterror:" + std::to_string(e)); };
        ftp.OnDisconnect = [this](TXFTP*) { Note("disconnect"); };
        ftp.OnDone = [this](TXFTP*, TXFTPOperation op) { Note(std::string("done:") + FTPOperationName(op)); };
        ftp.OnError = [this](TXFTP*, TXFTPOperation op, uint16_t e) {
            Note(std::string("error:") + FTPOperationName(op) + ":" + std::to_string(e));
        };
        ftp.OnProgress = [this](TXFTP*, int64_t count, bool& abort) {
            ++progressCount;
            EXPECT_GE(count, lastProgress);
            lastProgress = count;
            if (onProgress)
                onProgress(ftp, count, abort);
        };
    }

    void Note(const std::string& e) {
        events.push_back(e);
        RunStep();
    }

    void RunStep() {
        if (nextStep >= steps.size())
            return;
        try {
            steps[nextStep++](ftp);
        } catch (const std::exception& ex) {
            events.push_back(std::string("throw:") + ex.what());
            RunStep();
        }
    }

    // Runs the script and waits for count events (and whatever is already posted after them).
    bool Run(std::vector<Step> script, size_t count) {
        steps = std::move(script);
        nextStep = 0;
        RunStep();
        const bool ok = WaitFor([&] { return events.size() >= count && nextStep >= steps.size(); });
        Settle();
        return ok;
    }

    std::string Stream() const { return stream.data().toStdString(); }
};

using Step = Recorder::Step;
Step Connect(int retry = -1) {
    return [retry](TXFTP& f) { f.Connect(retry); };
}
Step ChangeDir(std::string d) {
    return [d](TXFTP& f) { f.ChangeDir(d); };
}
Step Size(std::string n) {
    return [n](TXFTP& f) { f.GetFileSize(n); };
}

struct FtpCase {
    std::string name;
    Peer peer;
    std::string password;
    std::function<std::vector<Step>(Recorder&)> script;
    std::vector<std::string> expected;
    std::function<void(Recorder&)> check;
};

std::vector<FtpCase> Cases() {
    return {
        {"ConnectLogsInAndSetsBinary",
         pNormal,
         "pass",
         [](Recorder&) { return std::vector<Step>{Connect()}; },
         {"connect"},
         [](Recorder& r) {
             EXPECT_EQ(r.ftp.Operation(), fopReady);
             EXPECT_FALSE(r.ftp.ConnectErrorReported());
         }},
        {"WrongPasswordReportsOnceThenConnects",
         pNormal,
         "bad",
         [](Recorder&) {
             return std::vector<Step>{Connect(), [](TXFTP& f) {
                                          EXPECT_EQ(f.Operation(), fopDisconnected);
                                          EXPECT_TRUE(f.ConnectErrorReported());
                                          f.Password = "pass";
                                          f.Connect(-1);
                                      }};
         },
         {"connecterror:530", "connect"},
         [](Recorder& r) { EXPECT_EQ(r.ftp.Operation(), fopReady); }},
        {"RefusedConnectionIsAConnectError",
         pClosedPort,
         "pass",
         [](Recorder&) { return std::vector<Step>{Connect()}; },
         {"connecterror:111"},
         [](Recorder& r) { EXPECT_EQ(r.ftp.Operation(), fopDisconnected); }},
        {"RetryTimerConnectsAgain",
         pNormal,
         "bad",
         [](Recorder&) {
             return std::vector<Step>{Connect(10), [](TXFTP& f) {
                                          // The retry is armed after the handler returns.
                                          EXPECT_EQ(f.Operation(), fopDisconnected);
                                          f.Password = "pass";
                                      }};
         },
         {"connecterror:530", "connect"},
         [](Recorder& r) {
             EXPECT_EQ(r.ftp.Operation(), fopReady);
             EXPECT_EQ(r.ftp.ConnectRetryInterval(), 10);
         }},
        {"ChangeDirThenDownloadToStream",
         pNormal,
         "pass",
         [](Recorder& r) {
             return std::vector<Step>{Connect(), ChangeDir("sub"),
                                      [&r](TXFTP& f) { f.DownloadToStream("inner.txt", &r.stream); }};
         },
         {"connect", "done:fopChangeDir", "done:fopDownloadingStream"},
         [](Recorder& r) {
             EXPECT_EQ(r.Stream(), kInner);
             EXPECT_EQ(r.ftp.RemoteDir(), "sub");
             EXPECT_EQ(r.ftp.FileSize(), int64_t(kInner.size()));
         }},
        {"ChangeDirUpAndAbsolute",
         pNormal,
         "pass",
         [](Recorder&) {
             return std::vector<Step>{Connect(),         ChangeDir("sub"),  ChangeDir(".."),
                                      Size("hello.txt"), ChangeDir("/sub"), Size("inner.txt"),
                                      ChangeDir("nope"), Size("inner.txt")};
         },
         {"connect", "done:fopChangeDir", "done:fopChangeDir", "done:fopSize", "done:fopChangeDir",
          "done:fopSize", "error:fopChangeDir:550", "done:fopSize"},
         [](Recorder& r) {
             EXPECT_EQ(r.ftp.RemoteDir(), "/sub");
             EXPECT_EQ(r.ftp.FileSize(), int64_t(kInner.size()));
         }},
        {"SizeThenMissingSizeKeepsTheLastOne",
         pNormal,
         "pass",
         [](Recorder&) {
             return std::vector<Step>{Connect(), Size("hello.txt"), Size("missing.txt")};
         },
         {"connect", "done:fopSize", "error:fopSize:550"},
         [](Recorder& r) {
             EXPECT_EQ(r.ftp.FileSize(), int64_t(kHello.size()));
             EXPECT_EQ(r.ftp.Operation(), fopReady);
         }},
        {"DownloadWholeFileWithProgress",
         pNormal,
         "pass",
         [](Recorder& r) {
             return std::vector<Step>{Connect(),
                                      [&r](TXFTP& f) { f.DownloadFile("big.bin", r.local / "big", false); }};
         },
         {"connect", "done:fopDownloadingFile"},
         [](Recorder& r) {
             EXPECT_TRUE(ReadFile(r.local / "big") == gPeers->big);
             EXPECT_EQ(r.ftp.FileSize(), int64_t(gPeers->big.size()));
             EXPECT_GT(r.progressCount, 0);
             EXPECT_EQ(r.lastProgress, int64_t(gPeers->big.size()));
             EXPECT_FALSE(r.ftp.ResumeDownload());
         }},
        {"ResumeContinuesFromTheLocalLength",
         pNormal,
         "pass",
         [](Recorder& r) {
             WriteFile(r.local / "hello", "XXXXXX");
             return std::vector<Step>{
                 Connect(), [&r](TXFTP& f) { f.DownloadFile("hello.txt", r.local / "hello", true); }};
         },
         {"connect", "done:fopDownloadingFile"},
         [](Recorder& r) {
             EXPECT_EQ(ReadFile(r.local / "hello"), "XXXXXX" + kHello.substr(6));
             EXPECT_TRUE(r.ftp.ResumeDownload());
         }},
        {"ResumeWithoutLocalFileFetchesAll",
         pNormal,
         "pass",
         [](Recorder& r) {
             return std::vector<Step>{Connect(),
                                      [&r](TXFTP& f) { f.DownloadFile("hello.txt", r.local / "new", true); }};
         },
         {"connect", "done:fopDownloadingFile"},
         [](Recorder& r) {
             EXPECT_EQ(ReadFile(r.local / "new"), kHello);
             EXPECT_FALSE(r.ftp.ResumeDownload());
         }},
        {"WholeDownloadReplacesALocalFile",
         pNormal,
         "pass",
         [](Recorder& r) {
             WriteFile(r.local / "old", std::string(200, 'o'));
             return std::vector<Step>{
                 Connect(), [&r](TXFTP& f) { f.DownloadFile("hello.txt", r.local / "old", false); }};
         },
         {"connect", "done:fopDownloadingFile"},
         [](Recorder& r) { EXPECT_EQ(ReadFile(r.local / "old"), kHello); }},
        {"EmptyRemoteFileGivesEmptyLocalFile",
         pNormal,
         "pass",
         [](Recorder& r) {
             return std::vector<Step>{Connect(),
                                      [&r](TXFTP& f) { f.DownloadFile("empty.txt", r.local / "e", false); }};
         },
         {"connect", "done:fopDownloadingFile"},
         [](Recorder& r) {
             EXPECT_TRUE(std::filesystem::exists(r.local / "e"));
             EXPECT_EQ(ReadFile(r.local / "e"), "");
         }},
        {"MissingRemoteFileLeavesNoLocalFile",
         pNormal,
         "pass",
         [](Recorder& r) {
             return std::vector<Step>{
                 Connect(), [&r](TXFTP& f) { f.DownloadFile("missing.txt", r.local / "m", false); }};
         },
         {"connect", "error:fopDownloadingFile:550"},
         [](Recorder& r) {
             EXPECT_FALSE(std::filesystem::exists(r.local / "m"));
             EXPECT_EQ(r.ftp.Operation(), fopReady);
         }},
        {"RefusedSizeStillDownloads",
         pRefuseSize,
         "pass",
         [](Recorder& r) {
             return std::vector<Step>{Connect(), Size("hello.txt"),
                                      [&r](TXFTP& f) { f.DownloadFile("hello.txt", r.local / "h", true); }};
         },
         {"connect", "error:fopSize:502", "done:fopDownloadingFile"},
         [](Recorder& r) {
             EXPECT_EQ(ReadFile(r.local / "h"), kHello);
             EXPECT_EQ(r.ftp.FileSize(), 0);
         }},
        {"RefusedBinaryTypeIsAnErrorWhileConnecting",
         pRefuseType,
         "pass",
         [](Recorder&) { return std::vector<Step>{Connect()}; },
         {"error:fopConnecting:504"},
         [](Recorder& r) { EXPECT_EQ(r.ftp.Operation(), fopReady); }},
        {"DisconnectWhenReady",
         pNormal,
         "pass",
         [](Recorder&) {
             return std::vector<Step>{Connect(), [](TXFTP& f) { f.Disconnect(); }};
         },
         {"connect", "disconnect"},
         [](Recorder& r) {
             EXPECT_EQ(r.ftp.Operation(), fopDisconnected);
             EXPECT_EQ(r.ftp.ConnectRetryInterval(), -1);
         }},
        {"DisconnectWhileDownloadingAbortsIt",
         pNormal,
         "pass",
         [](Recorder& r) {
             return std::vector<Step>{Connect(), [&r](TXFTP& f) {
                                          f.DownloadFile("big.bin", r.local / "big", false);
                                          f.Disconnect();
                                      }};
         },
         {"connect", "disconnect"},
         [](Recorder& r) { EXPECT_EQ(r.ftp.Operation(), fopDisconnected); }},
        {"SecondDownloadWhileBusyIsRefused",
         pNormal,
         "pass",
         [](Recorder& r) {
             return std::vector<Step>{Connect(), [&r](TXFTP& f) {
                                          f.DownloadFile("big.bin", r.local / "big", false);
                                          f.DownloadToStream("hello.txt", &r.stream);
                                      }};
         },
         {"connect", "throw:FTP is not ready", "done:fopDownloadingFile"},
         [](Recorder& r) {
             EXPECT_TRUE(ReadFile(r.local / "big") == gPeers->big);
             EXPECT_EQ(r.Stream(), "");
         }},
    };
}

class FtpCaseTest : public FtpTest, public ::testing::WithParamInterface<FtpCase> {};

TEST_P(FtpCaseTest, EventsInOrder) {
    const FtpCase& c = GetParam();
    Recorder r(c.peer, c.password);
    auto script = c.script(r);
    EXPECT_TRUE(r.Run(std::move(script), c.expected.size())) << "timed out";
    EXPECT_EQ(r.events, c.expected);
    if (c.check)
        c.check(r);
}

INSTANTIATE_TEST_SUITE_P(Ftp, FtpCaseTest, ::testing::ValuesIn(Cases()),
                         [](const auto& info) { return info.param.name; });

TEST_F(FtpTest, MisuseRaisesAndKeepsTheState) {
    TXFTP ftp;
    auto message = [](const std::function<void()>& f) {
        try {
            f();
        } catch (const std::exception& e) {
            return std::string(e.what());
        }
        return std::string("no exception");
    };
    ftp.Host = "127.0.0.1";
    EXPECT_EQ(message([&] { ftp.Connect(-1); }), "FTP User missing");
    ftp.UserName = "user";
    ftp.Host.clear();
    EXPECT_EQ(message([&] { ftp.Connect(-1); }), "FTP Host missing");
    EXPECT_EQ(ftp.Operation(), fopDisconnected);
    QBuffer b;
    EXPECT_EQ(message([&] { ftp.DownloadFile("a", "b", false); }), "FTP is not ready");
    EXPECT_EQ(message([&] { ftp.DownloadToStream("a", &b); }), "FTP is not ready");
    EXPECT_EQ(ftp.Operation(), fopDisconnected);
    // Nothing to close: no event.
    bool any = false;
    ftp.OnDisconnect = [&](TXFTP*) { any = true; };
    ftp.Disconnect();
    Settle();
    EXPECT_FALSE(any);
}

TEST_F(FtpTest, ConnectWhileConnectedIsIgnored) {
    Recorder r(pNormal);
    ASSERT_TRUE(r.Run({[](TXFTP& f) {
                           f.Connect(-1);
                           f.Connect(-1); // while connecting
                       },
                       [](TXFTP& f) {
                           f.Connect(-1); // while ready
                           f.GetFileSize("hello.txt");
                       }},
                      2));
    EXPECT_EQ(r.events, (std::vector<std::string>{"connect", "done:fopSize"}));
}

TEST_F(FtpTest, LogsInOnceForAllCommands) {
    const size_t before = gPeers->Logins();
    Recorder r(pNormal);
    ASSERT_TRUE(r.Run({Connect(), ChangeDir("sub"), Size("inner.txt"),
                       [&r](TXFTP& f) { f.DownloadFile("inner.txt", r.local / "i1", false); },
                       [&r](TXFTP& f) { f.DownloadToStream("inner.txt", &r.stream); }},
                      5));
    EXPECT_EQ(r.events.back(), "done:fopDownloadingStream");
    EXPECT_EQ(ReadFile(r.local / "i1"), kInner);
    EXPECT_EQ(r.Stream(), kInner);
    EXPECT_EQ(gPeers->Logins() - before, 1u);
}

TEST_F(FtpTest, AbortFromProgressEndsTheDownloadInError) {
    Recorder r(pNormal);
    r.onProgress = [](TXFTP&, int64_t, bool& abort) { abort = true; };
    ASSERT_TRUE(r.Run(
        {Connect(), [&r](TXFTP& f) { f.DownloadFile("big.bin", r.local / "big", false); }, Size("hello.txt")},
        3));
    EXPECT_EQ(r.events, (std::vector<std::string>{"connect", "error:fopDownloadingFile:42", "done:fopSize"}));
    EXPECT_EQ(r.progressCount, 1);
    EXPECT_LT(std::filesystem::file_size(r.local / "big"), gPeers->big.size());
}

TEST_F(FtpTest, DisconnectFromProgressHandler) {
    Recorder r(pNormal);
    r.onProgress = [](TXFTP& f, int64_t, bool&) { f.Disconnect(); };
    ASSERT_TRUE(r.Run({Connect(), [&r](TXFTP& f) { f.DownloadFile("big.bin", r.local / "big", false); }}, 2));
    EXPECT_EQ(r.events, (std::vector<std::string>{"connect", "disconnect"}));
    EXPECT_EQ(r.progressCount, 1);
    EXPECT_EQ(r.ftp.Operation(), fopDisconnected);
    // The component connects again afterwards.
    r.events.clear();
    ASSERT_TRUE(r.Run({Connect(), Size("big.bin")}, 2));
    EXPECT_EQ(r.events, (std::vector<std::string>{"connect", "done:fopSize"}));
}

TEST_F(FtpTest, ActiveModeDataConnection) {
    Recorder r(pNormal);
    r.ftp.Passive = false;
    ASSERT_TRUE(r.Run({Connect(), [&r](TXFTP& f) { f.DownloadToStream("hello.txt", &r.stream); }}, 2));
    EXPECT_EQ(r.events, (std::vector<std::string>{"connect", "done:fopDownloadingStream"}));
    EXPECT_EQ(r.Stream(), kHello);
}

TEST_F(FtpTest, ThroughSocks5Proxy) {
    const uint16_t port = FreePort();
    auto socks = std::make_unique<PeerProcess>(
        std::vector<std::string>{"/usr/bin/microsocks", "-i", "127.0.0.1", "-p", std::to_string(port)}, "",
        port);
    Recorder r(pNormal);
    r.ftp.SocksIP = "127.0.0.1";
    r.ftp.SocksPort = std::to_string(port);
    ASSERT_TRUE(r.Run({Connect(), [&r](TXFTP& f) { f.DownloadToStream("hello.txt", &r.stream); }}, 2));
    EXPECT_EQ(r.events, (std::vector<std::string>{"connect", "done:fopDownloadingStream"}));
    EXPECT_EQ(r.Stream(), kHello);

    // With the proxy gone the same settings cannot reach the server: the proxy was in the path.
    socks->Stop();
    Recorder r2(pNormal);
    r2.ftp.SocksIP = "127.0.0.1";
    r2.ftp.SocksPort = std::to_string(port);
    ASSERT_TRUE(r2.Run({Connect()}, 1));
    ASSERT_EQ(r2.events.size(), 1u);
    EXPECT_EQ(r2.events[0].rfind("connecterror:", 0), 0u) << r2.events[0];
}

} // namespace
