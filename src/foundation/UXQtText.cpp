#include "foundation/UXQtText.h"

#include "foundation/UCp1252.h"

QString ToQString(std::string_view cp1252) {
    QString out(static_cast<qsizetype>(cp1252.size()), Qt::Uninitialized);
    QChar* p = out.data();
    for (char c : cp1252)
        *p++ = QChar(Cp1252ToUnicode(static_cast<unsigned char>(c)));
    return out;
}

std::string FromQString(const QString& text) {
    std::string out;
    out.reserve(static_cast<size_t>(text.size()));
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        char32_t cp = text[i].unicode();
        if (QChar::isHighSurrogate(cp) && i + 1 < n && text[i + 1].isLowSurrogate()) {
            cp = QChar::surrogateToUcs4(text[i], text[i + 1]);
            ++i;
        }
        const int b = UnicodeToCp1252(cp);
        out += b < 0 ? '?' : static_cast<char>(b);
    }
    return out;
}
