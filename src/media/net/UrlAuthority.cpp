#include "media/net/UrlAuthority.h"

namespace KVMedia
{
bool ParsePort(const std::string& strPort, int& nPort)
{
    if (strPort.empty() || strPort.size() > 5 || strPort.find_first_not_of("0123456789") != std::string::npos)
        return false;
    nPort = std::stoi(strPort);
    return nPort >= 1 && nPort <= 65535;
}

bool SplitAuthority(const std::string& strAuthority, std::string& strHost, std::string& strPort, bool& bHasPort)
{
    bHasPort = false;
    size_t nHostEnd = 0;
    if (!strAuthority.empty() && strAuthority[0] == '[')
    {
        const size_t nClose = strAuthority.find(']');
        if (nClose == std::string::npos)
            return false;
        strHost = strAuthority.substr(1, nClose - 1);
        nHostEnd = nClose + 1;
    }
    else
    {
        nHostEnd = strAuthority.find(':');
        if (nHostEnd == std::string::npos)
            nHostEnd = strAuthority.size();
        strHost = strAuthority.substr(0, nHostEnd);
    }
    if (nHostEnd == strAuthority.size())
        return true;
    if (strAuthority[nHostEnd] != ':')
        return false;
    bHasPort = true;
    strPort = strAuthority.substr(nHostEnd + 1);
    return true;
}
}
