#include "media/net/HttpUrl.h"

#include "media/net/UrlAuthority.h"

#include <strings.h>

namespace
{
// Where the upgrade service takes its reports.
const std::string kServicePath = "/api";

// Whatever is copied into the request line and headers must not be able to
// end them early.
bool HasUnsafeCharacter(const std::string& str)
{
    for (unsigned char c : str)
        if (c <= 0x20 || c == 0x7f)
            return true;
    return false;
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
    if (!KVMedia::SplitAuthority(strAuthority, strHost, strPort, bHasPort) || strHost.empty())
    {
        strError = "the URL has no host";
        return false;
    }
    int nPort = 80;
    if (bHasPort && !KVMedia::ParsePort(strPort, nPort))
    {
        strError = "the URL's port is not a number from 1 to 65535";
        return false;
    }

    url.strHost = strHost;
    url.nPort = nPort;
    url.strHostField = strAuthority;
    // The service answers on its own path; an address that names only the
    // host means that path, not the server's root.
    url.strPath = kServicePath;
    if (nPathStart != std::string::npos)
        url.strPath =
            strRest[nPathStart] == '?' ? kServicePath + strRest.substr(nPathStart) : strRest.substr(nPathStart);
    return true;
}
