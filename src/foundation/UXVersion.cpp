#include "foundation/UXVersion.h"

#include <charconv>
#include <limits>

namespace {

std::string_view Trim(std::string_view s) {
    while (!s.empty() && static_cast<unsigned char>(s.front()) <= ' ') {
        s.remove_prefix(1);
    }
    while (!s.empty() && static_cast<unsigned char>(s.back()) <= ' ') {
        s.remove_suffix(1);
    }
    return s;
}

// The text before the first '.', or all of it; removes it and the separator.
std::string_view CutPiece(std::string_view& s) {
    const size_t dot = s.find('.');
    std::string_view piece = s.substr(0, dot);
    s = dot == std::string_view::npos ? std::string_view() : s.substr(dot + 1);
    return piece;
}

// A trimmed piece as a number no larger than max; -1 when it is not one.
int64_t PieceValue(std::string_view piece, int64_t max) {
    piece = Trim(piece);
    if (!piece.empty() && piece.front() == '+') {
        piece.remove_prefix(1);
    }
    int64_t v = 0;
    auto [p, ec] = std::from_chars(piece.data(), piece.data() + piece.size(), v);
    if (piece.empty() || ec != std::errc() || p != piece.data() + piece.size() || v > max) {
        return -1;
    }
    return v;
}

} // namespace

std::string VersionToStr(const TXVersion& v) {
    return std::to_string(v.Major) + "." + std::to_string(v.Minor) + "." + std::to_string(v.Build);
}

TXVersion StrToVersion(std::string_view text) {
    std::string_view rest = text;
    const int64_t major = PieceValue(CutPiece(rest), std::numeric_limits<int16_t>::max());
    const int64_t minor = PieceValue(CutPiece(rest), std::numeric_limits<int16_t>::max());
    const int64_t build = PieceValue(CutPiece(rest), std::numeric_limits<int32_t>::max());
    TXVersion v;
    v.Major = static_cast<int16_t>(major);
    v.Minor = static_cast<int16_t>(minor);
    v.Build = static_cast<int32_t>(build);
    v.Invalid = major < 0 || minor < 0 || build < 0 || !Trim(rest).empty();
    return v;
}

int CompareVersions(const TXVersion& a, const TXVersion& b) {
    if (a.Major != b.Major) {
        return a.Major < b.Major ? -1 : 1;
    }
    if (a.Minor != b.Minor) {
        return a.Minor < b.Minor ? -1 : 1;
    }
    if (a.Build != b.Build) {
        return a.Build < b.Build ? -1 : 1;
    }
    return 0;
}
