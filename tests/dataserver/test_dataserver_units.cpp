// Queue, frame and log formats of the transport, without a socket.
#include "dataserver/UXBuffer.h"
#include "dataserver/UXLogFile.h"
#include "dataserver/UXTCPPack.h"

#include <gtest/gtest.h>

#include <cstring>
#include <deque>
#include <random>
#include <string>

namespace {

std::string Bytes(int n, char first) {
    std::string s;
    for (int i = 0; i < n; ++i)
        s += char(first + i);
    return s;
}

std::string ReadAll(TXBuffer& b) {
    const int n = b.Count();
    std::string s(b.ReadPtr(n), size_t(n));
    b.Consume(n);
    return s;
}

} // namespace

TEST(Buffer, WrapsWhenTheFrontHasRoomAndUnwrapsAtTheWrapEnd) {
    TXBuffer b(16);
    b.Write(Bytes(12, 'a').data(), 12);
    b.Consume(8); // "ijkl" left at 8..12
    b.Write(Bytes(6, 'A').data(), 6);
    EXPECT_TRUE(b.Wrapped()) << "4 bytes after write, 8 before read: continue at the block start";
    EXPECT_EQ(b.Capacity(), 16);
    EXPECT_EQ(b.ContiguousReadable(), 4);
    EXPECT_EQ(b.FreeContiguous(), 2);
    b.Consume(4);
    EXPECT_FALSE(b.Wrapped());
    EXPECT_EQ(b.ReadPos(), 0);
    EXPECT_EQ(ReadAll(b), Bytes(6, 'A'));
    EXPECT_EQ(b.ReadPos(), 0);
    EXPECT_EQ(b.WritePos(), 0) << "an emptied buffer starts over at the block start";
}

TEST(Buffer, ReallocatesByAQuarterMoreAndPutsTheDataAtTheEnd) {
    TXBuffer b(16);
    b.Write(Bytes(10, 'a').data(), 10);
    b.Consume(2);
    b.Write(Bytes(20, 'A').data(), 0); // no-op
    // 8 queued, 8 free in total: 12 more do not fit -> (12 + 8) + 20/4 = 25.
    char* w = b.Reserve(12);
    EXPECT_EQ(b.Capacity(), 25);
    EXPECT_TRUE(b.Wrapped());
    EXPECT_EQ(b.ReadPos(), 25 - 8);
    EXPECT_EQ(b.WritePos(), 0);
    EXPECT_EQ(w, b.WritePtr());
    std::memcpy(w, Bytes(12, 'A').data(), 12);
    b.Commit(12);
    EXPECT_EQ(ReadAll(b), Bytes(8, 'c') + Bytes(12, 'A'));
}

TEST(Buffer, FreeSpaceSplitAcrossTheBlockIsMadeContiguousAtTheSameCapacity) {
    TXBuffer b(16);
    b.Write(Bytes(10, 'a').data(), 10);
    b.Consume(5); // 5 free before, 6 after: 8 fit in total but in neither run
    b.Write(Bytes(8, 'A').data(), 8);
    EXPECT_EQ(b.Capacity(), 16);
    EXPECT_EQ(ReadAll(b), Bytes(5, 'f') + Bytes(8, 'A'));
}

TEST(Buffer, ContiguousReadAcrossTheWrapPointKeepsTheOrder) {
    TXBuffer b(16);
    b.Write(Bytes(12, 'a').data(), 12);
    b.Consume(10);
    b.Write(Bytes(8, 'A').data(), 8); // wrapped: "kl" + "ABCDEFGH"
    ASSERT_TRUE(b.Wrapped());
    const char* p = b.ReadPtr(6);
    EXPECT_EQ(std::string(p, 6), "klABCD");
    EXPECT_EQ(b.Capacity(), 16);
    EXPECT_THROW(b.ReadPtr(11), std::out_of_range);
}

TEST(Buffer, BehavesLikeAQueueUnderRandomTraffic) {
    std::mt19937 rng(7);
    TXBuffer b(8);
    std::deque<char> model;
    char next = 0;
    for (int step = 0; step < 20000; ++step) {
        const int op = int(rng() % 4);
        if (op <= 1) {
            const int n = int(rng() % 40);
            std::string s;
            for (int i = 0; i < n; ++i)
                s += next++;
            if (op == 0) {
                b.Write(s.data(), n);
            } else {
                std::memcpy(b.Reserve(n), s.data(), size_t(n));
                b.Commit(n);
            }
            model.insert(model.end(), s.begin(), s.end());
        } else if (!model.empty()) {
            const int n = 1 + int(rng() % model.size());
            const char* p = b.ReadPtr(n);
            ASSERT_TRUE(std::equal(p, p + n, model.begin())) << "step " << step;
            b.Consume(op == 2 ? n : 1);
            model.erase(model.begin(), model.begin() + (op == 2 ? n : 1));
        }
        ASSERT_EQ(b.Count(), int(model.size()));
    }
}

TEST(PackFrame, EmptyServiceAndPayloadMakeSeventeenBytes) {
    const std::string f = PackFrame(0, 0, "", "X", "", 1);
    ASSERT_EQ(f.size(), 17u);
    EXPECT_EQ(f.substr(0, 4), std::string("\x11\0\0\0", 4));
}

TEST(PackFrame, RoundTripsAndWaitsForTheWholeFrame) {
    const std::string payload("\0\1\2binary", 9);
    const std::string f = PackFrame(0x1234, 7, "CFG", "VERSION", payload, 0xFFFE);
    EXPECT_EQ(f.size(), size_t(16 + 3 + 7 + 9));
    TXBuffer q(4);
    TXTCPPack p;
    for (size_t i = 0; i + 1 < f.size(); ++i) {
        q.Write(&f[i], 1);
        ASSERT_FALSE(TakePackFrame(q, p)) << "after " << i + 1 << " bytes";
    }
    q.Write(&f.back(), 1);
    const std::string second = PackFrame(1, 0, "", "$ID", "5", 2);
    q.Write(second.data(), int32_t(second.size()));
    ASSERT_TRUE(TakePackFrame(q, p));
    EXPECT_EQ(p.ConnectionId, 0x1234u);
    EXPECT_EQ(p.Reserved, 7u);
    EXPECT_EQ(p.Service, "CFG");
    EXPECT_EQ(p.Command, "VERSION");
    EXPECT_EQ(p.Payload, payload);
    EXPECT_EQ(p.Seq, 0xFFFE);
    ASSERT_TRUE(TakePackFrame(q, p));
    EXPECT_EQ(p.Command, "$ID");
    EXPECT_EQ(q.Count(), 0);
}

TEST(PackFrame, FramesWhoseFieldsDoNotAddUpAreRejected) {
    struct Case {
        const char* name;
        std::string bytes;
    };
    std::string longPayload = PackFrame(0, 0, "S", "C", "abc", 1);
    longPayload[12] = 9; // payload length 9 in a frame sized for 3
    std::string longService = PackFrame(0, 0, "S", "C", "abc", 1);
    longService[8] = char(200);
    std::string negative = PackFrame(0, 0, "S", "C", "abc", 1);
    negative[15] = negative[14] = negative[13] = negative[12] = char(0xFF);
    const Case cases[] = {
        {"total below the header", std::string("\x0F\0\0\0", 4) + std::string(11, '\0')},
        {"negative total", std::string("\xFF\xFF\xFF\xFF", 4)},
        {"payload longer than the frame", longPayload},
        {"service longer than the frame", longService},
        {"negative payload length", negative},
    };
    for (const Case& c : cases) {
        TXBuffer q;
        q.Write(c.bytes.data(), int32_t(c.bytes.size()));
        TXTCPPack p;
        EXPECT_THROW(TakePackFrame(q, p), EXPackError) << c.name;
        EXPECT_EQ(q.Count(), int32_t(c.bytes.size())) << c.name;
    }
    EXPECT_THROW(PackFrame(0, 0, std::string(256, 'S'), "C", "", 1), EXPackError);
}

TEST(LogFile, EntryFormat) {
    std::tm t{};
    t.tm_year = 2024 - 1900;
    t.tm_mon = 2;
    t.tm_mday = 5;
    t.tm_hour = 7;
    t.tm_min = 8;
    t.tm_sec = 9;
    const std::string header = "\r\n05/03/2024" + std::string(79 - 10, '-') + "\r\n\r\n";
    const std::string indent(28, ' ');
    struct Case {
        const char* context;
        std::string message;
        std::string lines;
    };
    const std::string longWords = "wrong package id 2 must be 1 while reading the reply of CFG";
    const Case cases[] = {
        {"C.Activate", "boom", "  07:08:09 C.Activate      boom\r\n"},
        {"C.ReceiveData", "a\tb\nc", "  07:08:09 C.ReceiveData   a b c\r\n"},
        {"C.SocketClientOnDataAvailable", "x", "  07:08:09 C.SocketClientOnDataAvailable x\r\n"},
        {"C.ReceiveData", longWords,
         "  07:08:09 C.ReceiveData   wrong package id 2 must be 1 while reading the\r\n" + indent +
             "reply of CFG\r\n"},
        {"C.ReceiveData", std::string(60, 'x'),
         "  07:08:09 C.ReceiveData   " + std::string(52, 'x') + "\r\n" + indent + std::string(8, 'x') +
             "\r\n"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(TXLogFile::FormatEntry(t, c.context, c.message), header + c.lines) << c.message;
}
