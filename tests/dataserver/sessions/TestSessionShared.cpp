// Generators and semaphores shared between connections, and the create replies a real server never
// sends wrong (against a scripted peer).
#include "USessionFixture.h"

#include "dataserver/UXAuthKey.h"
#include "foundation/UXData.h"

TEST_F(SessionsTest, SequencesAreConsecutiveAcrossConnectionsAndFreedRunsComeBack) {
    ASSERT_EQ(sess->Exec("CREATE TABLE LOTE (ID INTEGER NOT NULL PRIMARY KEY)"), "");
    ASSERT_EQ(sess->Exec("INSERT INTO LOTE (ID) VALUES (41)"), "");
    auto otherConn = Connect();
    auto other = OpenSession(*otherConn);

    sess->gui.Sequence("s1", "LOTE", "ID", 5);
    ASSERT_NE(sess->WaitLine({"sequence:s1:"}), "");
    EXPECT_TRUE(sess->Has("sequence:s1:LOTE:ID:42:5")) << "seeded from the column's maximum";
    EXPECT_EQ(sess->gui.FindSQL("s1"), nullptr);
    other->gui.Sequence("s2", "LOTE", "ID", 3);
    ASSERT_NE(other->WaitLine({"sequence:s2:"}), "");
    EXPECT_TRUE(other->Has("sequence:s2:LOTE:ID:47:3"));

    // The last run handed out, given back, is handed out again; ids are free again after the reply.
    other->gui.FreeSequence("LOTE", "ID", 47, 3);
    // FREESEQUENCE has no reply: a VERSION on the same connection is answered after it took effect.
    bool versioned = false;
    otherConn->dc.OnCFGVersion = [&](const std::string&, const TXVersion&) { versioned = true; };
    otherConn->dc.RequestVersion("SARVOLENTIS");
    ASSERT_TRUE(WaitFor([&] { return versioned; }, 10000));
    otherConn->dc.OnCFGVersion = nullptr;
    sess->gui.Sequence("s1", "LOTE", "ID", 1);
    ASSERT_NE(sess->WaitLine({"sequence:s1:LOTE:ID:47"}), "");

    // A pending request holds its id; generated ids follow the component's prefix.
    sess->gui.IdPrefix = "$$$reqseqauto";
    for (int i = 0; i < 3; ++i)
        sess->gui.Sequence("", "LOTE", "ID", 1);
    try {
        sess->gui.Sequence("$$$reqseqauto2", "LOTE", "ID", 1);
        FAIL() << "no error";
    } catch (const std::exception& e) {
        EXPECT_STREQ(e.what(), "id $$$reqseqauto2 already in use");
    }
    for (int i = 0; i < 3; ++i)
        EXPECT_NE(sess->WaitLine({"sequence:$$$reqseqauto" + std::to_string(i) +
                                  ":LOTE:ID:" + std::to_string(48 + i) + ":1"}),
                  "");

    sess->gui.Sequence("bad", "NAOEXISTE", "ID", 1);
    EXPECT_EQ(sess->WaitLine({"sequenceerror:bad:", "sequence:bad:"}), "sequenceerror:bad:NAOEXISTE:ID:text");
}

TEST_F(SessionsTest, SemaphoresAreExclusiveAcrossClientsAndDieWithTheConnection) {
    auto otherConn = Connect();
    auto other = OpenSession(*otherConn);

    sess->gui.SemaphoreAcquire("SMF_PRJ", "", "42", true, false);
    ASSERT_EQ(sess->WaitLine({"acquired:", "inuse:"}), "acquired:SMF_PRJ::42");
    other->gui.SemaphoreAcquire("SMF_PRJ", "", "42", false, false);
    ASSERT_EQ(other->WaitLine({"acquired:", "inuse:"}), "inuse:SMF_PRJ::42");
    other->gui.SemaphoreAcquire("SMF_PRJ", "", "43", false, false);
    ASSERT_NE(other->WaitLine({"acquired:SMF_PRJ::43"}), "") << "another key is another semaphore";

    sess->gui.SemaphoreRelease("SMF_PRJ", "42");
    other->log.clear();
    other->gui.SemaphoreAcquire("SMF_PRJ", "", "42", false, false);
    ASSERT_EQ(other->WaitLine({"acquired:", "inuse:"}), "acquired:SMF_PRJ::42");

    // The holder's connection drops: its semaphores are free for the others.
    otherConn->pack.Deactivate();
    ASSERT_TRUE(WaitFor(
        [&] {
            sess->log.clear();
            sess->gui.SemaphoreAcquire("SMF_PRJ", "", "43", true, false);
            return sess->WaitLine({"acquired:", "inuse:"}) == "acquired:SMF_PRJ::43";
        },
        10000));
}

// ---- replies a real server does not produce -----------------------------------------------------------

namespace {

std::string Payload(const std::function<void(TXData&)>& f) {
    TXData d;
    Init(d);
    f(d);
    Finish(d);
    return d.Data;
}

class ScriptedSessions : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(peer.Listening());
        conn.pack.IP = "127.0.0.1";
        conn.pack.Port = peer.Port();
        bool id = false;
        conn.pack.OnIDReceived = [&] { id = true; };
        conn.pack.Activate(-1);
        ASSERT_TRUE(peer.WaitAccepted());
        peer.Send("", "$ID", "7");
        ASSERT_TRUE(WaitFor([&] { return id; }));
        conn.pack.OnIDReceived = nullptr;
    }
    // Whether the client sent FREE for the server's session ssid.
    bool Freed(int32_t ssid) const {
        for (const auto& p : Sent("FREE")) {
            TXData d;
            Load(d, p);
            GetI(d);
            GetS(d);
            if (GetI(d) == ssid)
                return true;
        }
        return false;
    }
    // The payloads of the SESS frames the client sent with command.
    std::vector<std::string> Sent(const std::string& command) const {
        std::vector<std::string> r;
        for (const auto& f : peer.Frames())
            if (f.Service == "SESS" && f.Command == command)
                r.push_back(f.Payload);
        return r;
    }
    void ReplyCreate(int32_t csid, const std::string& cfg, const std::string& op, bool ok, int32_t ssid) {
        peer.Send("SESS", "CREATE", Payload([&](TXData& d) {
                      PutI(d, csid);
                      PutS(d, cfg);
                      PutS(d, op);
                      PutBool(d, ok);
                      if (ok)
                          PutI(d, ssid);
                  }));
    }
    ScriptedPeer peer;
    TConn conn;
};

} // namespace

TEST_F(ScriptedSessions, CreateRepliesAreCheckedAndOrphansFreed) {
    struct Case {
        const char* name;
        std::string cfg, op;
        bool ok;
        const char* expected; // create error, or "" for ready
    };
    const std::vector<Case> cases{
        {"matching", "SARVOLENTIS", "geral", true, ""},
        {"cfg in other case", "sarvolentis", "geral", true, ""},
        {"other cfg", "OUTRA", "geral", true, "createerror:wrong CFG"},
        {"other op", "SARVOLENTIS", "login", true, "createerror:wrong OP"},
        {"refused", "SARVOLENTIS", "geral", false, "createerror:can't create session"},
    };
    int32_t ssid = 100;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TSess s(&conn.dc);
        s.gui.Loaded();
        const int32_t csid = s.gui.Session()->CSID();
        EXPECT_EQ(csid, 0) << "the slot is released and taken again";
        ReplyCreate(csid, c.cfg, c.op, c.ok, ++ssid);
        const std::string line = s.WaitLine({"ready", "createerror:"}, 5000);
        EXPECT_EQ(line, *c.expected ? c.expected : "ready");
        EXPECT_EQ(s.gui.Ready(), !*c.expected);
        if (*c.expected && c.ok) {
            // A session the server made but the client will not use is freed at once.
            EXPECT_TRUE(WaitFor([&] { return Freed(ssid); }));
        }
        s.gui.Release();
        // A ready session is freed on release; one that never got its id has nothing to free.
        if (!*c.expected) {
            EXPECT_TRUE(WaitFor([&] { return Freed(ssid); }));
        }
    }

    // A reply for a slot released before it came: the server's session is freed, nothing is raised.
    {
        TSess s(&conn.dc);
        s.gui.Loaded();
        s.gui.Release();
        EXPECT_FALSE(conn.dc.Session(0)->Active());
        ReplyCreate(0, "SARVOLENTIS", "geral", true, 555);
        ASSERT_TRUE(WaitFor([&] { return Freed(555); }));
        TXData d;
        Load(d, Sent("FREE").back());
        EXPECT_EQ(GetI(d), 0);
        EXPECT_EQ(GetS(d), "SARVOLENTIS");
        EXPECT_TRUE(s.log.empty());
    }
}

TEST_F(ScriptedSessions, AnEmptyPageBeforeTheLastRecordEndsTheSelect) {
    TSess s(&conn.dc);
    s.gui.Loaded();
    ReplyCreate(0, "SARVOLENTIS", "geral", true, 1);
    ASSERT_TRUE(WaitFor([&] { return s.gui.Ready(); }));
    s.gui.SQL().SQLText = "SELECT X FROM T";
    s.gui.Select("q");
    ASSERT_TRUE(WaitFor([&] { return Sent("SELECT").size() == 1; }));
    peer.Send("SESS", "FETCHSTRUCT", Payload([&](TXData& d) {
                  PutI(d, 0);
                  PutS(d, "q");
                  PutI(d, -1);
                  PutI(d, 5); // five records announced
                  WriteStructure(d, {{"X", sftInteger, 0}});
              }));
    ASSERT_TRUE(WaitFor([&] { return Sent("FETCH").size() == 1; }));
    peer.Send("SESS", "FETCH", Payload([&](TXData& d) {
                  PutI(d, 0);
                  PutS(d, "q");
                  PutI(d, -1);
                  WritePage(d, {{"X", sftInteger, 0}}, {}, 0); // and none delivered
              }));
    ASSERT_NE(s.WaitLine({"fetch:q:"}), "");
    EXPECT_EQ(s.gui.PendingSelects(), 0);
    // A reply for an unknown session or statement is dropped without an event.
    peer.Send("SESS", "FETCH", Payload([&](TXData& d) {
                  PutI(d, 9);
                  PutS(d, "q");
                  PutI(d, -1);
              }));
    peer.Send("SESS", "SEQUENCE", Payload([&](TXData& d) {
                  PutI(d, 0);
                  PutS(d, "naopedida");
                  PutS(d, "T");
                  PutS(d, "ID");
                  PutI64(d, 1);
                  PutI(d, 1);
              }));
    // Anything sent after them is still received: the dispatch carries on.
    peer.Send("SESS", "SEMAPHOREACQUIRED", Payload([&](TXData& d) {
                  PutI(d, 0);
                  PutS(d, "S");
                  PutS(d, "");
                  PutS(d, "1");
              }));
    ASSERT_NE(s.WaitLine({"acquired:S::1"}), "");
    EXPECT_EQ(Sent("FETCH").size(), 1u) << "no FETCH loop on an empty page";
    EXPECT_FALSE(s.Has("select:q"));
    for (const auto& l : s.log)
        EXPECT_EQ(l.find("sequence"), std::string::npos) << l;
}
