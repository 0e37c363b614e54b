// The five connection settings the user types into the transfer dialog and the settings file
// keeps: Shift-JIS, exactly as typed.
#pragma once

#include <string>

struct ConnectionSettings {
    std::string Host, User, Password, Proxy, ProxyPort;
};
