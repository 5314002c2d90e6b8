#include "Cp1252Text.h"

#include <array>
#include <cstdint>

namespace zt40::platform {
namespace {

// Code points of bytes 0x80 to 0x9F; 0 where the code page leaves the byte undefined.
constexpr std::array<char16_t, 32> HighControls = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

} // namespace

QString decode1252(std::string_view bytes) {
    QString out;
    out.reserve(static_cast<qsizetype>(bytes.size()));
    for (const char c : bytes) {
        const auto b = static_cast<std::uint8_t>(c);
        char16_t u = b;
        if (b >= 0x80 && b < 0xA0)
            u = HighControls[b - 0x80] != 0 ? HighControls[b - 0x80] : b;
        out.append(QChar(u));
    }
    return out;
}

std::string encode1252(const QString& text) {
    std::string out;
    out.reserve(static_cast<std::size_t>(text.size()));
    for (const QChar ch : text) {
        const char16_t u = ch.unicode();
        if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) {
            out.push_back(static_cast<char>(u));
            continue;
        }
        char b = '?';
        for (std::size_t i = 0; i < HighControls.size(); ++i) {
            if (HighControls[i] == u) {
                b = static_cast<char>(0x80 + i);
                break;
            }
        }
        out.push_back(b);
    }
    return out;
}

} // namespace zt40::platform
