#include "platform/Log.h"

#include "platform/Platform.h"

#include <QByteArray>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <mutex>

#include <unistd.h>

namespace Log
{
namespace
{
// Unread until the first line asks, so that a test or main() can set the
// variable first.
constexpr int THRESHOLD_UNREAD = -1;
std::atomic<int> s_nThreshold{THRESHOLD_UNREAD};

// The crash path reads these without the writers' lock: the length says how
// much of a slot is whole, the count which slots hold the newest lines.
struct SRecentSlot
{
    std::atomic<uint32_t> nLength;
    char acText[RECENT_LINE_BYTES];
};
static_assert(std::atomic<uint32_t>::is_always_lock_free, "a signal handler reads these");
static_assert((RECENT_LINES & (RECENT_LINES - 1)) == 0, "the count wraps onto the same slot");

SRecentSlot s_aRecent[RECENT_LINES];
std::atomic<uint32_t> s_nRecentCount{0};

// Keeps a line whole on standard error and the slots in order.
std::mutex s_mutexWrite;

char LevelLetter(ELevel eLevel)
{
    switch (eLevel)
    {
    case ELevel::Error:
        return 'E';
    case ELevel::Warning:
        return 'W';
    case ELevel::Info:
        return 'I';
    case ELevel::Debug:
        return 'D';
    }
    return '?';
}

// Cuts before a UTF-8 continuation byte so that a cut line stays readable.
int CutLength(const QByteArray& baText, int nMax)
{
    if (baText.size() <= nMax)
        return baText.size();
    int nLength = nMax;
    while (nLength > 0 && (uchar(baText.at(nLength)) & 0xC0) == 0x80)
        --nLength;
    return nLength;
}

// Caller holds s_mutexWrite.
void KeepRecent(ELevel eLevel, const QByteArray& baLine)
{
    const QByteArray baHead = QByteArray::number(Platform::GetTickCount32()) + ' ' + LevelLetter(eLevel) + ' ';
    // The line already ends with a newline; a cut one gets its own.
    const int nRoom = RECENT_LINE_BYTES - baHead.size() - 1;
    const int nText = CutLength(baLine, nRoom);

    const uint32_t nCount = s_nRecentCount.load(std::memory_order_relaxed);
    SRecentSlot& slot = s_aRecent[nCount % RECENT_LINES];
    slot.nLength.store(0, std::memory_order_relaxed);
    std::atomic_signal_fence(std::memory_order_seq_cst);
    std::memcpy(slot.acText, baHead.constData(), size_t(baHead.size()));
    std::memcpy(slot.acText + baHead.size(), baLine.constData(), size_t(nText));
    int nLength = baHead.size() + nText;
    if (nText < baLine.size())
        slot.acText[nLength++] = '\n';
    slot.nLength.store(uint32_t(nLength), std::memory_order_release);
    s_nRecentCount.store(nCount + 1, std::memory_order_release);
}

bool WriteAll(int nFd, const char* pData, size_t nSize)
{
    while (nSize > 0)
    {
        const ssize_t nWritten = ::write(nFd, pData, nSize);
        if (nWritten < 0 && errno == EINTR)
            continue;
        if (nWritten <= 0)
            return false;
        pData += nWritten;
        nSize -= size_t(nWritten);
    }
    return true;
}
}

bool ParseLevel(const QString& strText, ELevel& eLevel)
{
    static const struct
    {
        const char* pszName;
        ELevel eLevel;
    } s_aNames[] = {
        {"error", ELevel::Error},
        {"warning", ELevel::Warning},
        {"info", ELevel::Info},
        {"debug", ELevel::Debug},
    };
    const QString strWord = strText.trimmed();
    for (const auto& name : s_aNames)
    {
        if (strWord.compare(QLatin1String(name.pszName), Qt::CaseInsensitive) == 0)
        {
            eLevel = name.eLevel;
            return true;
        }
    }
    return false;
}

void ReadThreshold()
{
    const QString strValue = qEnvironmentVariable("VISTREL_LOG");
    ELevel eLevel = ELevel::Info;
    const bool bKnown = strValue.trimmed().isEmpty() || ParseLevel(strValue, eLevel);
    s_nThreshold.store(int(eLevel));
    if (!bKnown)
        Write(ELevel::Warning, "app",
              QStringLiteral("VISTREL_LOG=%1 is not one of error, warning, info, debug; info is used").arg(strValue));
}

bool IsEnabled(ELevel eLevel)
{
    if (s_nThreshold.load() == THRESHOLD_UNREAD)
        ReadThreshold();
    return int(eLevel) <= s_nThreshold.load();
}

void Write(ELevel eLevel, const char* pszModule, const QString& strText)
{
    if (!IsEnabled(eLevel))
        return;
    QByteArray baLine;
    if (pszModule)
        baLine = QByteArray(pszModule) + ": ";
    baLine += strText.toLocal8Bit();
    if (!baLine.endsWith('\n'))
        baLine.append('\n');

    std::lock_guard<std::mutex> lock(s_mutexWrite);
    std::fwrite(baLine.constData(), 1, size_t(baLine.size()), stderr);
    std::fflush(stderr);
    KeepRecent(eLevel, baLine);
}

void WriteRecent(int nFd, int nMaxLines)
{
    const uint32_t nCount = s_nRecentCount.load(std::memory_order_acquire);
    const uint32_t nLimit = nMaxLines > 0 && nMaxLines < RECENT_LINES ? uint32_t(nMaxLines) : uint32_t(RECENT_LINES);
    const uint32_t nKept = nCount < nLimit ? nCount : nLimit;
    for (uint32_t i = nCount - nKept; i != nCount; ++i)
    {
        const SRecentSlot& slot = s_aRecent[i % RECENT_LINES];
        const uint32_t nLength = slot.nLength.load(std::memory_order_acquire);
        if (nLength > 0 && nLength <= uint32_t(RECENT_LINE_BYTES) && !WriteAll(nFd, slot.acText, nLength))
            return;
    }
}
}
