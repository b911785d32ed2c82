#include "foundation/UXCipher.h"

#include "foundation/UXData.h"

#include <random>

namespace {

constexpr size_t kRunCut = 220;
constexpr int kWrapCount = 7;

bool IsLow(unsigned char b) {
    return b <= 33;
}

std::mt19937& Rng() {
    thread_local std::mt19937 rng{std::random_device{}()};
    return rng;
}

int RandomInt(int lo, int hi) {
    return std::uniform_int_distribution<int>(lo, hi)(Rng());
}

std::string Scrambled(std::string_view bytes, std::string_view key, int sign) {
    std::string out(bytes);
    if (key.empty())
        return out;
    for (size_t i = 0; i < out.size(); ++i) {
        const int p = static_cast<int>(i + 1);
        const int k = static_cast<unsigned char>(key[i % key.size()]);
        const int shift = (p % 2 == 0) ? k + p : p - k;
        const int b = static_cast<unsigned char>(out[i]) + sign * shift;
        out[i] = static_cast<char>(((b % 256) + 256) % 256);
    }
    return out;
}

unsigned char Unshift(std::string_view text, size_t i) {
    if (i >= text.size())
        throw EXDataError("Invalid stored text");
    const auto c = static_cast<unsigned char>(text[i]);
    if (c < 65 || c > 65 + 33)
        throw EXDataError("Invalid stored text");
    return static_cast<unsigned char>(c - 65);
}

} // namespace

std::string Scramble(std::string_view bytes, std::string_view key) {
    return Scrambled(bytes, key, +1);
}

std::string Unscramble(std::string_view bytes, std::string_view key) {
    return Scrambled(bytes, key, -1);
}

std::string EscapePrintable(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 2);
    const size_t n = bytes.size();
    size_t i = 0;
    while (i < n) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        if (!IsLow(b)) {
            out += static_cast<char>(b);
            ++i;
            continue;
        }
        size_t run = 1;
        while (i + run < n && run < kRunCut && IsLow(static_cast<unsigned char>(bytes[i + run])))
            ++run;
        // A run must not start within the last three bytes.
        if (run >= 2 && i + 3 < n) {
            out += ' ';
            out += static_cast<char>(run + 32);
            for (size_t k = 0; k < run; ++k)
                out += static_cast<char>(static_cast<unsigned char>(bytes[i + k]) + 65);
            i += run;
        } else {
            out += '!';
            out += static_cast<char>(b + 65);
            ++i;
        }
    }
    return out;
}

std::string UnescapePrintable(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (c == '!') {
            out += static_cast<char>(Unshift(text, i + 1));
            i += 2;
        } else if (c == ' ') {
            if (i + 1 >= text.size())
                throw EXDataError("Invalid stored text");
            const int run = static_cast<unsigned char>(text[i + 1]) - 32;
            if (run < 2 || run > static_cast<int>(kRunCut))
                throw EXDataError("Invalid stored text");
            for (int k = 0; k < run; ++k)
                out += static_cast<char>(Unshift(text, i + 2 + k));
            i += 2 + run;
        } else if (IsLow(static_cast<unsigned char>(c))) {
            throw EXDataError("Invalid stored text");
        } else {
            out += c;
            ++i;
        }
    }
    return out;
}

std::string CipherWorkingKey(std::string_view key, int n) {
    std::string full(key);
    if (full.size() < kCipherPad.size())
        full += kCipherPad.substr(full.size());
    const std::string digits = std::to_string(n);
    std::string out;
    for (size_t k = 0; k < 3; ++k) {
        out += full[k];
        out += digits[k];
    }
    out += full.substr(3);
    return out;
}

std::string EncryptText(std::string_view text, std::string_view key) {
    const int n = RandomInt(100, 999);
    TXData d;
    Init(d);
    PutW(d, static_cast<int16_t>(n));
    std::string wrapped(text);
    for (int k = 0; k < kWrapCount; ++k) {
        const char left = static_cast<char>('0' + RandomInt(0, 9));
        const char right = static_cast<char>('0' + RandomInt(0, 9));
        wrapped = left + wrapped + right;
    }
    PutS(d, Scramble(wrapped, CipherWorkingKey(key, n)));
    Finish(d);
    return EscapePrintable(std::string_view(d.Data.data(), static_cast<size_t>(d.Size)));
}

std::string DecryptText(std::string_view stored, std::string_view key) {
    TXData d;
    Load(d, UnescapePrintable(stored));
    if (d.Size <= 2 * kWrapCount)
        return std::string();
    const int n = GetW(d);
    if (n < 100 || n > 999)
        throw EXDataError("Invalid stored text");
    const std::string plain = Unscramble(GetS(d), CipherWorkingKey(key, n));
    if (plain.size() < 2 * kWrapCount)
        throw EXDataError("Invalid stored text");
    return plain.substr(kWrapCount, plain.size() - 2 * kWrapCount);
}
