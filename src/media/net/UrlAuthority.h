// The host and port part of the URLs the clients take, rtmp:// and http://.
#pragma once

#include <string>

namespace KVMedia
{
// strAuthority is "host", "host:port", "[v6]" or "[v6]:port"; strHost comes
// without brackets. bHasPort tells "host:" (an empty port) from "host".
// False for an unclosed bracket or anything but a colon after one.
bool SplitAuthority(const std::string& strAuthority, std::string& strHost, std::string& strPort, bool& bHasPort);
// A decimal port from 1 to 65535, at most five digits.
bool ParsePort(const std::string& strPort, int& nPort);
}
