#include "foundation/UXCipher.h"
#include "foundation/UXData.h"

#include <gtest/gtest.h>

#include <random>
#include <set>

namespace {

std::string Bytes(std::initializer_list<int> v) {
    std::string s;
    for (int b : v)
        s += static_cast<char>(b);
    return s;
}

std::string RandomBytes(std::mt19937& rng, size_t n, int maxByte) {
    std::string s(n, '\0');
    for (char& c : s)
        c = static_cast<char>(std::uniform_int_distribution<int>(0, maxByte)(rng));
    return s;
}

} // namespace

TEST(Cipher, ScrambleKnownValues) {
    // p=1 odd: b - K + p; p=2 even: b + K + p; key repeats.
    const std::string key = Bytes({10, 20});
    const std::string in = Bytes({100, 100, 100, 0});
    EXPECT_EQ(Scramble(in, key), Bytes({100 - 10 + 1, 100 + 20 + 2, 100 - 10 + 3, (0 + 20 + 4)}));
    // wraps modulo 256 both ways
    EXPECT_EQ(Scramble(Bytes({0}), Bytes({200})), Bytes({(0 - 200 + 1 + 256) % 256}));
    EXPECT_EQ(Scramble(Bytes({250, 250}), Bytes({1, 10})), Bytes({250, (250 + 10 + 2) % 256}));
    EXPECT_EQ(Scramble("abc", ""), "abc");
    EXPECT_EQ(Scramble("", "key"), "");
}

TEST(Cipher, UnscrambleInvertsScramble) {
    std::mt19937 rng(7);
    for (int i = 0; i < 200; ++i) {
        const std::string in = RandomBytes(rng, i % 40, 255);
        const std::string key = RandomBytes(rng, 1 + i % 9, 255);
        EXPECT_EQ(Unscramble(Scramble(in, key), key), in);
    }
}

TEST(Cipher, EscapePrintableCases) {
    struct Case {
        std::string in, out;
    };
    const Case cases[] = {
        {"abc", "abc"},
        {Bytes({'a', 5, 'b'}), "a!Fb"}, // single low byte
        {Bytes({' '}), "!a"},           // blank and '!' are escaped too
        {Bytes({'!', 'x'}), "!bx"},
        {Bytes({34}), Bytes({34})}, // 34 is the first byte copied
        {Bytes({0, 1, 2, 'x', 'y', 'z', 'w'}), Bytes({' ', 35, 'A', 'B', 'C', 'x', 'y', 'z', 'w'})},
        {Bytes({'x', 0, 33, 'y', 'z'}), Bytes({'x', ' ', 34, 'A', 'b', 'y', 'z'})}, // run 4 from the end
        // a run starting within the last three bytes is escaped byte by byte
        {Bytes({'x', 'y', 0, 1}), "xy!A!B"},
        {Bytes({'x', 0, 1, 2}), "x!A!B!C"},
        {Bytes({0, 1, 2}), "!A!B!C"},
        {Bytes({0, 1, 2, 3}), Bytes({' ', 36, 'A', 'B', 'C', 'D'})}, // starts 4 from the end
        {"", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(EscapePrintable(c.in), c.out);
        EXPECT_EQ(UnescapePrintable(c.out), c.in);
    }
}

TEST(Cipher, EscapePrintableCutsRunsAt220) {
    const std::string in = std::string(230, '\x01') + "tail";
    const std::string out = EscapePrintable(in);
    std::string expected = " " + std::string(1, static_cast<char>(220 + 32)) + std::string(220, 'B');
    expected += " " + std::string(1, static_cast<char>(10 + 32)) + std::string(10, 'B') + "tail";
    EXPECT_EQ(out, expected);
    EXPECT_EQ(UnescapePrintable(out), in);

    // The remainder after a cut is a run of one: a single escape.
    const std::string in221 = std::string(221, '\0') + "tail";
    EXPECT_EQ(EscapePrintable(in221).substr(222), "!Atail");
    EXPECT_EQ(UnescapePrintable(EscapePrintable(in221)), in221);
}

TEST(Cipher, EscapedTextHasNoLowBytesAndRoundTrips) {
    std::mt19937 rng(11);
    for (int i = 0; i < 300; ++i) {
        const std::string in = RandomBytes(rng, i % 600, i % 3 == 0 ? 40 : 255);
        const std::string out = EscapePrintable(in);
        for (char c : out)
            ASSERT_TRUE(static_cast<unsigned char>(c) > 33 || c == ' ' || c == '!');
        ASSERT_EQ(UnescapePrintable(out), in);
    }
}

TEST(Cipher, UnescapeRejectsMalformedText) {
    const std::string bad[] = {"!",
                               "abc!",
                               " ",
                               Bytes({' ', 40, 'A'}),
                               Bytes({' ', 33, 'A', 'A'}),
                               "!a!\x7F",
                               Bytes({'a', 5}),
                               Bytes({' ', 34, 'A', 'z'})};
    for (const auto& t : bad)
        EXPECT_THROW(UnescapePrintable(t), EXDataError) << t;
}

TEST(Cipher, WorkingKey) {
    EXPECT_EQ(CipherWorkingKey("ABCDEF", 123), "A1B2C3DEF");
    EXPECT_EQ(CipherWorkingKey("ABCD", 905), "A9B0C5D");
    // shorter keys take the pad's characters beyond their length
    const std::string pad(kCipherPad);
    EXPECT_EQ(CipherWorkingKey("AB", 456), std::string("A4B5") + pad[2] + "6" + pad[3]);
    EXPECT_EQ(CipherWorkingKey("", 100), std::string() + pad[0] + "1" + pad[1] + "0" + pad[2] + "0" + pad[3]);
}

TEST(Cipher, EncryptDecryptRoundTrip) {
    std::mt19937 rng(3);
    const std::string texts[] = {"",
                                 "a",
                                 "senha123",
                                 "ABC DEF!",
                                 std::string(500, 'x'),
                                 RandomBytes(rng, 300, 255),
                                 std::string("\0\0\0", 3)};
    for (const auto key : {kUserPasswordKey, kSettingsKey, std::string_view("k"), std::string_view("")}) {
        for (const auto& t : texts) {
            const std::string stored = EncryptText(t, key);
            EXPECT_EQ(DecryptText(stored, key), t);
        }
    }
}

TEST(Cipher, StoredFormIsPrintableAndDiffersEachTime) {
    std::set<std::string> forms;
    for (int i = 0; i < 20; ++i) {
        const std::string stored = EncryptText("SEGREDO", kUserPasswordKey);
        for (char c : stored)
            ASSERT_GT(static_cast<unsigned char>(c), 31) << "control byte in stored form";
        EXPECT_EQ(stored.find("SEGREDO"), std::string::npos);
        forms.insert(stored);
    }
    EXPECT_GT(forms.size(), 15u);
}

TEST(Cipher, RecordLayout) {
    // The stored form is a packed record: n (100..999) and the scrambled, wrapped text.
    const std::string stored = EncryptText("abc", kSettingsKey);
    TXData d;
    Load(d, UnescapePrintable(stored));
    const int n = GetW(d);
    EXPECT_GE(n, 100);
    EXPECT_LE(n, 999);
    const std::string wrapped = Unscramble(GetS(d), CipherWorkingKey(kSettingsKey, n));
    EXPECT_TRUE(d.AtEnd());
    ASSERT_EQ(wrapped.size(), 3u + 14u);
    EXPECT_EQ(wrapped.substr(7, 3), "abc");
    for (size_t i : {0, 1, 2, 3, 4, 5, 6, 10, 11, 12, 13, 14, 15, 16})
        EXPECT_TRUE(wrapped[i] >= '0' && wrapped[i] <= '9') << i;
}

TEST(Cipher, DecryptEdgeCases) {
    EXPECT_EQ(DecryptText("", kSettingsKey), "");
    EXPECT_EQ(DecryptText("abcdefghijklmn", kSettingsKey), ""); // 14 bytes or fewer: empty
    const std::string stored = EncryptText("abc", kSettingsKey);
    // the wrong key does not give the text back
    EXPECT_NE(DecryptText(stored, kUserPasswordKey), "abc");
    // damaged forms are refused, never read past their end
    EXPECT_THROW(DecryptText(stored.substr(0, stored.size() - 3), kSettingsKey), EXDataError);
    EXPECT_THROW(DecryptText("!", kSettingsKey), EXDataError);
}

TEST(Cipher, KeyLengths) {
    EXPECT_EQ(kUserPasswordKey.size(), 7u);
    EXPECT_EQ(kSettingsKey.size(), 8u);
    EXPECT_EQ(kCipherPad.size(), 4u);
}
