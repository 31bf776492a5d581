#include "media/core/LastError.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace
{
struct SLastError
{
    int nCode = KVS_ERROR_NONE;
    std::string strDetail;
};

SLastError& ThreadError()
{
    thread_local SLastError s_error;
    return s_error;
}
}

namespace KVMedia
{
void SetLastError(int nCode, const std::string& strDetail)
{
    ThreadError().nCode = nCode;
    ThreadError().strDetail = strDetail;
}

void SetLastFileError(int nErrno)
{
    int nCode = KVS_ERROR_FILE_OTHER;
    switch (nErrno)
    {
    case EACCES:
    case EPERM:
    case EROFS:
        nCode = KVS_ERROR_FILE_ACCESS;
        break;
    case ENOENT:
    case ENOTDIR:
        nCode = KVS_ERROR_FILE_NO_FOLDER;
        break;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        nCode = KVS_ERROR_DISK_FULL;
        break;
    case ENOMEM:
        nCode = KVS_ERROR_OUT_OF_MEMORY;
        break;
    default:
        break;
    }
    char szText[256] = {};
    // The GNU variant may return a static text instead of filling the buffer.
    const char* pszText = strerror_r(nErrno, szText, sizeof(szText));
    SetLastError(nCode, pszText ? pszText : "");
}
}

int KVS_GetLastError(char* pszDetail, int nDetailSize)
{
    const SLastError& error = ThreadError();
    if (pszDetail && nDetailSize > 0)
    {
        const size_t nCopy = std::min(error.strDetail.size(), size_t(nDetailSize - 1));
        memcpy(pszDetail, error.strDetail.data(), nCopy);
        pszDetail[nCopy] = '\0';
    }
    return error.nCode;
}

void KVS_ClearLastError()
{
    KVMedia::SetLastError(KVS_ERROR_NONE);
}
