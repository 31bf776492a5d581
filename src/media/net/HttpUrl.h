// The few HTTP URLs the upgrade client needs: "http://host[:port][/path]";
// without a path the service's own, "/api".
#pragma once

#include <string>

struct CHttpUrl
{
    std::string strHost; // without brackets for an IPv6 address
    int nPort = 80;
    std::string strPath = "/api"; // with the query, if any
    std::string strHostField;     // the request's Host header: as written in the URL
};

// False for any other scheme, user information, a missing host or a bad
// port; strError then says why, for the log.
bool ParseHttpUrl(const std::string& strUrl, CHttpUrl& url, std::string& strError);
