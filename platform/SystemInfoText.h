// Pure text helpers behind the system information, kept apart so they can be tested.
#pragma once

#include <string>
#include <string_view>

namespace zt40::platform {

// The distribution's name from the content of /etc/os-release: PRETTY_NAME, else NAME and
// VERSION; "" when neither is there.
std::string osReleaseName(std::string_view osRelease);

// The full name in a GECOS field: the text before the first comma, "" for none.
std::string fullNameFromGecos(std::string_view gecos);

// "<distribution>, <kernel name> <kernel release>", leaving out what is unknown.
std::string systemText(const std::string& distribution, const std::string& kernelName,
                       const std::string& kernelRelease);

} // namespace zt40::platform
