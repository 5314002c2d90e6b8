#include "Cp1252.h"

#include <array>

namespace zt40::platform {
namespace {

// Unicode of the bytes 0x80..0x9F. The five bytes the code page leaves undefined map to the
// C1 control of the same value, as Windows converts them, so that they survive a round trip.
constexpr std::array<char16_t, 32> kHighControls{
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char toByte(char16_t unit) {
    if (unit < 0x80 || (unit >= 0xA0 && unit <= 0xFF)) {
        return static_cast<char>(unit);
    }
    for (std::size_t i = 0; i < kHighControls.size(); ++i) {
        if (kHighControls[i] == unit) {
            return static_cast<char>(0x80 + i);
        }
    }
    return '?';
}

} // namespace

QString fromCp1252(std::string_view bytes) {
    // The code page is Latin-1 apart from 0x80..0x9F: convert as Latin-1, then mend those.
    QString text = QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
    QChar* out = nullptr;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        if (b >= 0x80 && b < 0xA0) {
            if (out == nullptr) {
                out = text.data();
            }
            out[i] = QChar(kHighControls[b - 0x80]);
        }
    }
    return text;
}

std::string toCp1252(const QString& text) {
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(text.size()));
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text.at(i);
        if (c.isHighSurrogate() && i + 1 < n && text.at(i + 1).isLowSurrogate()) {
            // One character outside the basic plane: one replacement, not two.
            ++i;
            bytes.push_back('?');
            continue;
        }
        bytes.push_back(toByte(c.unicode()));
    }
    return bytes;
}

} // namespace zt40::platform
