// Windows-1252 conversion for the texts platform/ hands in and out.
#pragma once

#include <QString>
#include <string>
#include <string_view>

namespace zt40::platform {

QString decode1252(std::string_view bytes);
// Characters that Windows-1252 lacks become '?'.
std::string encode1252(const QString& text);

} // namespace zt40::platform
