// Windows-1252, the single-byte code page of every text the program keeps and writes.
// Texts become QString only when they are placed on a control, a message box or the clipboard.
#pragma once

#include <QString>
#include <string>
#include <string_view>

namespace zt40::platform {

QString fromCp1252(std::string_view bytes);

// The five bytes the code page leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) stand for the code
// point of the same value, both ways, so every byte survives a round trip. Any character the code
// page lacks becomes one '?', also one written as a surrogate pair.
std::string toCp1252(const QString& text);

} // namespace zt40::platform
