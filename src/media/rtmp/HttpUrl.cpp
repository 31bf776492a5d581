#include "media/rtmp/HttpUrl.h"

#include <strings.h>

namespace
{
// Whatever is copied into the request line and headers must not be able to
// end them early.
bool HasUnsafeCharacter(const std::string& str)
{
    for (unsigned char c : str)
        if (c <= 0x20 || c == 0x7f)
            return true;
    return false;
}

bool ParsePort(const std::string& strPort, int& nPort)
{
    if (strPort.empty() || strPort.size() > 5 || strPort.find_first_not_of("0123456789") != std::string::npos)
        return false;
    nPort = std::stoi(strPort);
    return nPort >= 1 && nPort <= 65535;
}

// strAuthority is "host", "host:port", "[v6]" or "[v6]:port".
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

bool ParseHttpUrl(const std::string& strUrl, CHttpUrl& url, std::string& strError)
{
    static const char kScheme[] = "http://";
    const size_t nSchemeLength = sizeof(kScheme) - 1;
    if (strUrl.size() < nSchemeLength || strncasecmp(strUrl.c_str(), kScheme, nSchemeLength) != 0)
    {
        strError = "only http:// URLs are supported";
        return false;
    }
    if (HasUnsafeCharacter(strUrl))
    {
        strError = "the URL contains spaces or control characters";
        return false;
    }
    std::string strRest = strUrl.substr(nSchemeLength);
    strRest = strRest.substr(0, strRest.find('#'));
    const size_t nPathStart = strRest.find_first_of("/?");
    const std::string strAuthority = strRest.substr(0, nPathStart);
    if (strAuthority.find('@') != std::string::npos)
    {
        strError = "user information in the URL is not supported";
        return false;
    }

    std::string strHost;
    std::string strPort;
    bool bHasPort = false;
    if (!SplitAuthority(strAuthority, strHost, strPort, bHasPort) || strHost.empty())
    {
        strError = "the URL has no host";
        return false;
    }
    int nPort = 80;
    if (bHasPort && !ParsePort(strPort, nPort))
    {
        strError = "the URL's port is not a number from 1 to 65535";
        return false;
    }

    url.strHost = strHost;
    url.nPort = nPort;
    url.strHostField = strAuthority;
    url.strPath = "/";
    if (nPathStart != std::string::npos)
        url.strPath = strRest[nPathStart] == '?' ? "/" + strRest.substr(nPathStart) : strRest.substr(nPathStart);
    return true;
}
