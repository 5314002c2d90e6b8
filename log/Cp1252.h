// Windows-1252, the single-byte code page of every text the program keeps and writes.
// Texts become QString only when they are placed on a control, a message box or the clipboard.
#pragma once

#include <QString>
#include <string>
#include <string_view>

namespace zt40 {

QString fromCp1252(std::string_view bytes);

// Characters that Windows-1252 lacks become '?'.
std::string toCp1252(const QString& text);

} // namespace zt40
