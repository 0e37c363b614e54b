// What both systems' sides of SysPath.h share.
#include "SysPath.h"

namespace Sys {

std::string XdgBaseDir(const std::optional<std::string>& value, const std::string& home,
                       const char* fallback) {
    if (value && !value->empty() && (*value)[0] == '/') return *value;
    return (home == "/" ? std::string() : home) + fallback;
}

}  // namespace Sys
