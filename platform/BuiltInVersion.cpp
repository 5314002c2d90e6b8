#include "SystemInfo.h"

namespace zt40::platform {

ProgramVersion builtInVersion() {
    return {ZT40_VERSION_MAJOR, ZT40_VERSION_MINOR, ZT40_VERSION_PATCH, ZT40_VERSION_TWEAK};
}

} // namespace zt40::platform
