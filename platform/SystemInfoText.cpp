#include "SystemInfoText.h"

#include <map>

namespace zt40::platform {
namespace {

std::string_view trimmed(std::string_view s) {
    const auto first = s.find_first_not_of(" \t\r");
    if (first == std::string_view::npos)
        return {};
    const auto last = s.find_last_not_of(" \t\r");
    return s.substr(first, last - first + 1);
}

// A shell-style value: quotes removed, backslash escapes resolved.
std::string unquoted(std::string_view value) {
    value = trimmed(value);
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        const char quote = value.front();
        value = value.substr(1, value.size() - 2);
        std::string out;
        for (std::size_t i = 0; i < value.size(); ++i) {
            if (quote == '"' && value[i] == '\\' && i + 1 < value.size())
                ++i;
            out.push_back(value[i]);
        }
        return out;
    }
    return std::string(value);
}

} // namespace

std::string osReleaseName(std::string_view osRelease) {
    std::map<std::string, std::string, std::less<>> fields;
    while (!osRelease.empty()) {
        const auto end = osRelease.find('\n');
        const std::string_view line = trimmed(osRelease.substr(0, end));
        osRelease = end == std::string_view::npos ? std::string_view{} : osRelease.substr(end + 1);
        if (line.empty() || line.front() == '#')
            continue;
        const auto eq = line.find('=');
        if (eq == std::string_view::npos || eq == 0)
            continue;
        fields[std::string(trimmed(line.substr(0, eq)))] = unquoted(line.substr(eq + 1));
    }
    if (const auto it = fields.find("PRETTY_NAME"); it != fields.end() && !it->second.empty())
        return it->second;
    std::string name = fields.count("NAME") != 0 ? fields["NAME"] : std::string();
    const std::string version = fields.count("VERSION") != 0 ? fields["VERSION"] : std::string();
    if (!name.empty() && !version.empty())
        name += ' ';
    return name + version;
}

std::string fullNameFromGecos(std::string_view gecos) {
    return std::string(trimmed(gecos.substr(0, gecos.find(','))));
}

std::string systemText(const std::string& distribution, const std::string& kernelName,
                       const std::string& kernelRelease) {
    std::string kernel = kernelName;
    if (!kernel.empty() && !kernelRelease.empty())
        kernel += ' ';
    kernel += kernelRelease;
    if (distribution.empty())
        return kernel;
    if (kernel.empty())
        return distribution;
    return distribution + ", " + kernel;
}

} // namespace zt40::platform
