#include "media/rtmp/StreamUrl.h"

#include "media/net/UrlAuthority.h"

extern "C"
{
#include <libavutil/dict.h>
}

#include <cstring>
#include <mutex>
#include <strings.h>
#include <utility>
#include <vector>

namespace
{
struct CSchemeInfo
{
    const char* pszPrefix;
    EStreamScheme nScheme;
    int nDefaultPort; // 0: the URL must give one
};

const CSchemeInfo kSchemes[] = {
    {"rtmp://", STREAM_RTMP, 1935},
    {"rtmps://", STREAM_RTMPS, 443},
    {"srt://", STREAM_SRT, 0},
};

const CSchemeInfo* FindScheme(const std::string& strUrl)
{
    for (const CSchemeInfo& info : kSchemes)
        if (strncasecmp(strUrl.c_str(), info.pszPrefix, strlen(info.pszPrefix)) == 0)
            return &info;
    return nullptr;
}

std::mutex& CaMutex()
{
    static std::mutex s_mtx;
    return s_mtx;
}

std::string& CaFile()
{
    static std::string s_strPath;
    return s_strPath;
}

int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

std::string PercentDecode(const std::string& strText)
{
    std::string strResult;
    for (size_t i = 0; i < strText.size(); ++i)
    {
        if (strText[i] == '%' && i + 2 < strText.size() && HexValue(strText[i + 1]) >= 0 &&
            HexValue(strText[i + 2]) >= 0)
        {
            strResult += char(HexValue(strText[i + 1]) * 16 + HexValue(strText[i + 2]));
            i += 2;
        }
        else
            strResult += strText[i];
    }
    return strResult;
}

// "name=value&..." as decoded pairs; a name without a value is no option.
std::vector<std::pair<std::string, std::string>> SplitQuery(const std::string& strQuery)
{
    std::vector<std::pair<std::string, std::string>> vecPairs;
    size_t nStart = 0;
    while (nStart < strQuery.size())
    {
        size_t nEnd = strQuery.find('&', nStart);
        if (nEnd == std::string::npos)
            nEnd = strQuery.size();
        const std::string strPair = strQuery.substr(nStart, nEnd - nStart);
        const size_t nEqual = strPair.find('=');
        if (nEqual != std::string::npos)
            vecPairs.emplace_back(PercentDecode(strPair.substr(0, nEqual)), PercentDecode(strPair.substr(nEqual + 1)));
        nStart = nEnd + 1;
    }
    return vecPairs;
}

}

bool ParseStreamAddress(const std::string& strUrl, CStreamAddress& address)
{
    const CSchemeInfo* pScheme = FindScheme(strUrl);
    const size_t nPrefix = pScheme ? strlen(pScheme->pszPrefix) : 0;
    if (!pScheme || strUrl.size() <= nPrefix)
        return false;
    std::string strAuthority = strUrl.substr(nPrefix);
    strAuthority = strAuthority.substr(0, strAuthority.find_first_of("/?"));
    const size_t nAt = strAuthority.rfind('@');
    if (nAt != std::string::npos)
        strAuthority = strAuthority.substr(nAt + 1);

    std::string strHost;
    std::string strPort;
    bool bHasPort = false;
    if (!KVMedia::SplitAuthority(strAuthority, strHost, strPort, bHasPort) || strHost.empty())
        return false;
    // "host:" with nothing after the colon keeps the default port.
    int nPort = pScheme->nDefaultPort;
    if (!strPort.empty() && !KVMedia::ParsePort(strPort, nPort))
        return false;
    if (nPort <= 0)
        return false;
    address.nScheme = pScheme->nScheme;
    address.strHost = strHost;
    address.nPort = nPort;
    return true;
}

const char* GetStreamMuxer(EStreamScheme nScheme)
{
    return nScheme == STREAM_SRT ? "mpegts" : "flv";
}

CStreamOpen PrepareStreamOpen(const std::string& strUrl, EStreamScheme nScheme, int nTimeoutMs, bool bVerify)
{
    CStreamOpen open;
    open.strUrl = strUrl;
    if (nScheme == STREAM_RTMPS)
    {
        // The rtmps protocol hands these on to the tls one beneath it.
        av_dict_set(KVMedia::AvOut(open.pOptions), "tls_verify", bVerify ? "1" : "0", 0);
        const std::string strCaFile = GetTlsCaFile();
        if (bVerify && !strCaFile.empty())
            av_dict_set(KVMedia::AvOut(open.pOptions), "ca_file", strCaFile.c_str(), 0);
    }
    else if (nScheme == STREAM_SRT)
    {
        const size_t nQuery = strUrl.find('?');
        if (nQuery != std::string::npos)
        {
            open.strUrl = strUrl.substr(0, nQuery);
            for (const auto& option : SplitQuery(strUrl.substr(nQuery + 1)))
                if (!option.first.empty())
                    av_dict_set(KVMedia::AvOut(open.pOptions), option.first.c_str(), option.second.c_str(), 0);
        }
        if (nTimeoutMs > 0 && !av_dict_get(open.pOptions.get(), "connect_timeout", nullptr, 0))
            av_dict_set_int(KVMedia::AvOut(open.pOptions), "connect_timeout", nTimeoutMs, 0);
    }
    return open;
}

void SetTlsCaFile(const std::string& strPath)
{
    std::lock_guard<std::mutex> lock(CaMutex());
    CaFile() = strPath;
}

std::string GetTlsCaFile()
{
    std::lock_guard<std::mutex> lock(CaMutex());
    return CaFile();
}
