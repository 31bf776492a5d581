#include "config/CSettings.h"

#include "config/ListRecord.h"
#include "platform/Log.h"

#include <algorithm>

#include <QEvent>
#include <QFile>

#include <QDir>
#include <QStandardPaths>

#include <vector>

namespace
{
const char* const s_szProduct = "Vistrel";
const char* const s_szVersion = "V2.1";

const int s_nDefaultSizeIndex = 11;     // 768 x 576
const int s_nDefaultFrameRateIndex = 2; // 25 fps

bool InRange(int nValue, int nLow, int nHigh)
{
    return nValue >= nLow && nValue <= nHigh;
}

bool IsColorComponent(int nValue)
{
    return InRange(nValue, 0, 255);
}

// The stored format, or false when it is not two fields or either index
// lies outside its table.
bool ReadOutputFormat(const QSettings& settings, int& nSizeIndex, int& nFrameRateIndex)
{
    std::vector<int> anValues;
    if (!ListRecord::ReadInts(settings.value(QStringLiteral("outputformat"), QString()), 2, anValues))
        return false;
    if (!IsValidIndex(anValues[0], GetVideoSizeCount()) || !IsValidIndex(anValues[1], GetFrameRateCount()))
        return false;
    nSizeIndex = anValues[0];
    nFrameRateIndex = anValues[1];
    return true;
}

QString ColorKey(int nWhich)
{
    switch (nWhich)
    {
    case CSettings::COLOR_CAPTION_BORDER:
        return QStringLiteral("captionborder");
    case CSettings::COLOR_TIME_FONT:
        return QStringLiteral("timefont");
    case CSettings::COLOR_TIME_BORDER:
        return QStringLiteral("timeborder");
    default:
        return QStringLiteral("captionfont");
    }
}

bool IsBorderColor(int nWhich)
{
    return nWhich == CSettings::COLOR_CAPTION_BORDER || nWhich == CSettings::COLOR_TIME_BORDER;
}
}

CSettings::CSettings()
    : QSettings(QStringLiteral("Ostrana"),
                QStringLiteral("%1 %2").arg(QLatin1String(s_szProduct), QLatin1String(s_szVersion)))
{
    // A file written by an older build may be readable by everyone.
    RestrictFile();
}

CSettings::~CSettings()
{
    Sync();
}

void CSettings::Sync()
{
    sync();
    RestrictFile();
}

bool CSettings::event(QEvent* pEvent)
{
    const bool bUpdate = pEvent->type() == QEvent::UpdateRequest;
    const bool bResult = QSettings::event(pEvent);
    if (bUpdate)
        RestrictFile();
    return bResult;
}

void CSettings::RestrictFile()
{
    QFile file(fileName());
    const QFile::Permissions others =
        QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup | QFile::ReadOther | QFile::WriteOther | QFile::ExeOther;
    if (!file.exists() || !(file.permissions() & others))
        return;
    if (!file.setPermissions(QFile::ReadOwner | QFile::WriteOwner))
        Log::Warning("config", QStringLiteral("cannot make the settings file private: %1").arg(file.errorString()));
}

void CSettings::GetOutputFormat(int& nSizeIndex, int& nFrameRateIndex)
{
    if (ReadOutputFormat(*this, nSizeIndex, nFrameRateIndex))
        return;
    nSizeIndex = s_nDefaultSizeIndex;
    nFrameRateIndex = s_nDefaultFrameRateIndex;
    SetOutputFormat(nSizeIndex, nFrameRateIndex);
}

void CSettings::SetOutputFormat(int nSizeIndex, int nFrameRateIndex)
{
    setValue(QStringLiteral("outputformat"), ListRecord::JoinInts({nSizeIndex, nFrameRateIndex}));
}

int CSettings::GetOutputWidth() const
{
    int nSize = 0, nRate = 0;
    return GetVideoWidth(ReadOutputFormat(*this, nSize, nRate) ? nSize : 0);
}

int CSettings::GetOutputHeight() const
{
    int nSize = 0, nRate = 0;
    return GetVideoHeight(ReadOutputFormat(*this, nSize, nRate) ? nSize : 0);
}

SEncoderParam CSettings::GetEncoderParamRecord() const
{
    const std::vector<int> an = ListRecord::ReadIntsOr(
        value(QStringLiteral("encoderparam"), QString()), {0, 2, 4, 0, 2, 1, 1, 1}, [](const std::vector<int>& a) {
            return IsValidIndex(a[0], GetProfileCount()) && IsValidIndex(a[1], GetQualityCount()) &&
                   IsValidIndex(a[2], GetBitrateCount()) && IsValidIndex(a[3], GetModeCount()) &&
                   IsValidIndex(a[4], GetKeyFrameCount()) && IsValidIndex(a[6], GetAudioBitrateCount()) &&
                   IsValidIndex(a[7], GetAudioQualityCount());
        });
    return {an[0], an[1], an[2], an[3], an[4], an[5], an[6], an[7]};
}

void CSettings::GetEncoderParam(int& nProfile, int& nQuality, int& nBitrate, int& nMode, int& nKeyFrame,
                                int& nEncoderKind, int& nAudioBitrate, int& nAudioQuality) const
{
    const SEncoderParam param = GetEncoderParamRecord();
    nProfile = param.nProfile;
    nQuality = param.nQuality;
    nBitrate = param.nBitrate;
    nMode = param.nMode;
    nKeyFrame = param.nKeyFrame;
    nEncoderKind = param.nEncoderKind;
    nAudioBitrate = param.nAudioBitrate;
    nAudioQuality = param.nAudioQuality;
}

void CSettings::SetEncoderParam(int nProfile, int nQuality, int nBitrate, int nMode, int nKeyFrame, int nEncoderKind,
                                int nAudioBitrate, int nAudioQuality)
{
    setValue(QStringLiteral("encoderparam"), ListRecord::JoinInts({nProfile, nQuality, nBitrate, nMode, nKeyFrame,
                                                                   nEncoderKind, nAudioBitrate, nAudioQuality}));
}

void CSettings::SetEncoderParamRecord(const SEncoderParam& param)
{
    SetEncoderParam(param.nProfile, param.nQuality, param.nBitrate, param.nMode, param.nKeyFrame, param.nEncoderKind,
                    param.nAudioBitrate, param.nAudioQuality);
}

void CSettings::GetAudioDevice(int& nDevice, int& nMonitor) const
{
    const std::vector<int> an = ListRecord::ReadIntsOr(value(QStringLiteral("audiodevice"), QString()), {-1, 0});
    nDevice = an[0];
    nMonitor = an[1];
}

QString CSettings::GetAudioDeviceName() const
{
    return value(QStringLiteral("audiodevicename"), QString()).toString();
}

void CSettings::SetAudioDevice(int nDevice, int nMonitor, const QString& strName)
{
    setValue(QStringLiteral("audiodevice"), ListRecord::JoinInts({nDevice, nMonitor}));
    // A name left from an earlier choice would send the next start to that
    // device instead of the one stored now.
    if (nDevice < 0 || strName.isEmpty())
        remove(QStringLiteral("audiodevicename"));
    else
        setValue(QStringLiteral("audiodevicename"), strName);
}

bool CSettings::GetRecord() const
{
    return value(QStringLiteral("record"), true).toBool();
}

void CSettings::SetRecord(bool bRecord)
{
    setValue(QStringLiteral("record"), bRecord);
}

bool CSettings::GetStudioMode() const
{
    return value(QStringLiteral("studiomode"), false).toBool();
}

void CSettings::SetStudioMode(bool bOn)
{
    setValue(QStringLiteral("studiomode"), bOn);
}

bool CSettings::GetTakeFade() const
{
    return value(QStringLiteral("takefade"), true).toBool();
}

void CSettings::SetTakeFade(bool bFade)
{
    setValue(QStringLiteral("takefade"), bFade);
}

int CSettings::GetTakeDuration() const
{
    return std::max(250, std::min(value(QStringLiteral("takeduration"), 1000).toInt(), 2000));
}

void CSettings::SetTakeDuration(int nMilliseconds)
{
    setValue(QStringLiteral("takeduration"), std::max(250, std::min(nMilliseconds, 2000)));
}

QString CSettings::GetDataStorage()
{
    QString strRoot = value(QStringLiteral("DataStorage"), QString()).toString();
    if (!strRoot.isEmpty())
        return strRoot;
    const QString strDocuments = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    strRoot = QDir::toNativeSeparators(
        strDocuments +
        QStringLiteral("/%1 %2/Storage Files").arg(QLatin1String(s_szProduct), QLatin1String(s_szVersion)));
    CreateStorageFolders(strRoot);
    setValue(QStringLiteral("DataStorage"), strRoot);
    return strRoot;
}

void CSettings::SetDataStorage(const QString& strPath)
{
    setValue(QStringLiteral("DataStorage"), strPath);
    CreateStorageFolders(strPath);
}

void CSettings::CreateStorageFolders(const QString& strRoot)
{
    if (strRoot.isEmpty())
        return;
    QDir dir;
    for (const QString& strFolder :
         {strRoot, strRoot + QStringLiteral("/Snapshot"), strRoot + QStringLiteral("/Video")})
    {
        if (!dir.exists(strFolder))
            dir.mkpath(strFolder);
    }
}

SRtmpServer CSettings::GetRtmpServerRecord() const
{
    const QStringList astrParts = ListRecord::Split(value(QStringLiteral("RtmpServer"), QString()));
    if (astrParts.size() != 5)
        return {0, QStringLiteral("127.0.0.1"), QStringLiteral("1935"), QStringLiteral("test"),
                QStringLiteral("rtmp://127.0.0.1:1935/live/test")};
    return {ListRecord::ToInt(astrParts[0]), astrParts[1], astrParts[2], astrParts[3], astrParts[4]};
}

bool CSettings::GetRtmpServer(int& nPush, QString& strAddress, QString& strPort, QString& strStream,
                              QString& strUrl) const
{
    const SRtmpServer server = GetRtmpServerRecord();
    nPush = server.nPush;
    strAddress = server.strAddress;
    strPort = server.strPort;
    strStream = server.strStream;
    strUrl = server.strUrl;
    return true;
}

bool CSettings::IsRtmpTextStorable(const QString& strText)
{
    return !strText.contains(QLatin1Char(','));
}

bool CSettings::SetRtmpServer(int nPush, const QString& strAddress, const QString& strPort, const QString& strStream,
                              const QString& strUrl)
{
    // Written anyway, the record would read back as the defaults and
    // silently turn streaming off at the next start.
    for (const QString* pText : {&strAddress, &strPort, &strStream, &strUrl})
    {
        if (!IsRtmpTextStorable(*pText))
            return false;
    }
    setValue(QStringLiteral("RtmpServer"),
             QStringLiteral("%1,%2,%3,%4,%5").arg(QString::number(nPush), strAddress, strPort, strStream, strUrl));
    // The key reaches the disk now, and private, rather than whenever the
    // next update comes.
    Sync();
    return true;
}

namespace
{
QString DestinationKey(int nIndex, const char* pszField)
{
    return QStringLiteral("Destination%1/%2").arg(nIndex + 1).arg(QLatin1String(pszField));
}
}

SStreamDestination CSettings::GetStreamDestination(int nIndex) const
{
    SStreamDestination destination;
    if (nIndex < 0 || nIndex >= STREAM_DESTINATION_COUNT)
        return destination;
    if (nIndex == 0)
    {
        const SRtmpServer server = GetRtmpServerRecord();
        destination.bEnabled = server.nPush == SRtmpServer::PUSH_ON;
        destination.strServer = server.strAddress;
        destination.strPort = server.strPort;
        destination.strKey = server.strStream;
        destination.strUrl = server.strUrl;
    }
    else
    {
        destination.bEnabled = value(DestinationKey(nIndex, "Enabled"), false).toBool();
        destination.strServer = value(DestinationKey(nIndex, "Server"), QString()).toString();
        destination.strPort = value(DestinationKey(nIndex, "Port"), QStringLiteral("1935")).toString();
        destination.strKey = value(DestinationKey(nIndex, "Key"), QString()).toString();
        destination.strUrl = value(DestinationKey(nIndex, "Url"), QString()).toString();
    }
    destination.strName = value(DestinationKey(nIndex, "Name"), QString()).toString();
    // A latency that is no number, or out of SRT's range, is the default.
    const int nLatency = value(DestinationKey(nIndex, "SrtLatency"), 0).toInt();
    destination.nSrtLatencyMs = nLatency >= 0 && nLatency <= 60000 ? nLatency : 0;
    destination.strSrtPassphrase = value(DestinationKey(nIndex, "SrtPassphrase"), QString()).toString();
    return destination;
}

bool CSettings::SetStreamDestination(int nIndex, const SStreamDestination& destination)
{
    if (nIndex < 0 || nIndex >= STREAM_DESTINATION_COUNT)
        return false;
    if (nIndex == 0)
    {
        if (!SetRtmpServer(destination.bEnabled ? SRtmpServer::PUSH_ON : SRtmpServer::PUSH_OFF, destination.strServer,
                           destination.strPort, destination.strKey, destination.strUrl))
            return false;
    }
    else
    {
        setValue(DestinationKey(nIndex, "Enabled"), destination.bEnabled);
        setValue(DestinationKey(nIndex, "Server"), destination.strServer);
        setValue(DestinationKey(nIndex, "Port"), destination.strPort);
        setValue(DestinationKey(nIndex, "Key"), destination.strKey);
        setValue(DestinationKey(nIndex, "Url"), destination.strUrl);
    }
    setValue(DestinationKey(nIndex, "Name"), destination.strName);
    setValue(DestinationKey(nIndex, "SrtLatency"), destination.nSrtLatencyMs);
    setValue(DestinationKey(nIndex, "SrtPassphrase"), destination.strSrtPassphrase);
    // Keys and passphrases reach the disk now, and private.
    Sync();
    return true;
}

QString CSettings::GetTlsCaFile() const
{
    return value(QStringLiteral("TlsCaFile"), QString()).toString();
}

void CSettings::SetTlsCaFile(const QString& strPath)
{
    setValue(QStringLiteral("TlsCaFile"), strPath);
}

QByteArray CSettings::GetFrameGeometry() const
{
    return value(QStringLiteral("FrameGeometry"), QByteArray()).toByteArray();
}

void CSettings::SetFrameGeometry(const QByteArray& baGeometry)
{
    setValue(QStringLiteral("FrameGeometry"), baGeometry);
}

int CSettings::GetLayoutIndex() const
{
    return value(QStringLiteral("layoutindex"), -1).toInt();
}

void CSettings::SetLayoutIndex(int nIndex)
{
    setValue(QStringLiteral("layoutindex"), nIndex);
}

void CSettings::GetLogo(int& nIndex, int& nPosition, int& nSize) const
{
    const std::vector<int> an =
        ListRecord::ReadIntsOr(value(QStringLiteral("logo"), QString()), {-1, 1, 50}, [](const std::vector<int>& a) {
            return a[0] >= -1 && InRange(a[1], 0, 3) && InRange(a[2], 0, 100);
        });
    nIndex = an[0];
    nPosition = an[1];
    nSize = an[2];
}

void CSettings::SetLogo(int nIndex, int nPosition, int nSize)
{
    setValue(QStringLiteral("logo"), ListRecord::JoinInts({nIndex, nPosition, nSize}, QStringLiteral(",")));
}

void CSettings::GetCaptionOpt(int& nUnderline, int& nBold, int& nItalic, int& nFont, int& nBorder, int& nFontSize,
                              int& nPosition) const
{
    const std::vector<int> an = ListRecord::ReadIntsOr(
        value(QStringLiteral("captionopt"), QString()), {0, 0, 0, 0, 0, 0, 4}, [](const std::vector<int>& a) {
            return InRange(a[4], 0, 5) && IsValidIndex(a[5], GetFontSizeCount()) && InRange(a[6], 0, 5);
        });
    nUnderline = an[0];
    nBold = an[1];
    nItalic = an[2];
    nFont = an[3];
    nBorder = an[4];
    nFontSize = an[5];
    nPosition = an[6];
}

void CSettings::SetCaptionOpt(int nUnderline, int nBold, int nItalic, int nFont, int nBorder, int nFontSize,
                              int nPosition)
{
    setValue(QStringLiteral("captionopt"),
             ListRecord::JoinInts({nUnderline, nBold, nItalic, nFont, nBorder, nFontSize, nPosition}));
}

void CSettings::GetTimeOpt(int& nShow, int& nFont, int& nFontSize, int& nPosition) const
{
    const std::vector<int> an = ListRecord::ReadIntsOr(
        value(QStringLiteral("timeopt"), QString()), {1, 0, 0, 0},
        [](const std::vector<int>& a) { return IsValidIndex(a[2], GetFontSizeCount()) && InRange(a[3], 0, 5); });
    nShow = an[0];
    nFont = an[1];
    nFontSize = an[2];
    nPosition = an[3];
}

void CSettings::SetTimeOpt(int nShow, int nFont, int nFontSize, int nPosition)
{
    setValue(QStringLiteral("timeopt"), ListRecord::JoinInts({nShow, nFont, nFontSize, nPosition}));
}

int CSettings::GetPackedColor(int nWhich) const
{
    int nRed = 0;
    int nGreen = 0;
    int nBlue = 0;
    GetColor(nWhich, nRed, nGreen, nBlue);
    return nRed + nGreen * 256 + nBlue * 65536;
}

void CSettings::GetColor(int nWhich, int& nRed, int& nGreen, int& nBlue) const
{
    const int nDefault = IsBorderColor(nWhich) ? 0 : 255;
    const std::vector<int> an = ListRecord::ReadIntsOr(
        value(ColorKey(nWhich), QString()), {nDefault, nDefault, nDefault}, [](const std::vector<int>& a) {
            return IsColorComponent(a[0]) && IsColorComponent(a[1]) && IsColorComponent(a[2]);
        });
    nRed = an[0];
    nGreen = an[1];
    nBlue = an[2];
}

void CSettings::SetColor(int nWhich, int nRed, int nGreen, int nBlue)
{
    setValue(ColorKey(nWhich), ListRecord::JoinInts({nRed, nGreen, nBlue}));
}

QString CSettings::GetBgPath() const
{
    return value(QStringLiteral("bgpath"), QString()).toString();
}

void CSettings::SetBgPath(const QString& strPath)
{
    setValue(QStringLiteral("bgpath"), strPath);
}

bool CSettings::GetScreen() const
{
    return value(QStringLiteral("screen"), false).toBool();
}

void CSettings::SetScreen(bool bEnabled)
{
    setValue(QStringLiteral("screen"), bEnabled);
}

bool CSettings::GetScreenEnabled(int nScreen) const
{
    if (!InRange(nScreen, 0, 2))
        return false;
    return value(QStringLiteral("screen_%1").arg(nScreen), false).toBool();
}

void CSettings::SetScreenEnabled(int nScreen, bool bEnabled)
{
    if (InRange(nScreen, 0, 2))
        setValue(QStringLiteral("screen_%1").arg(nScreen), bEnabled);
}

void CSettings::GetScreenPos(int& nLeft, int& nTop, int& nWidth, int& nHeight)
{
    int nSize = 0, nRate = 0;
    GetOutputFormat(nSize, nRate);
    const int nW = GetVideoWidth(nSize);
    const int nH = GetVideoHeight(nSize);
    std::vector<int> an;
    // The Screen tab's controls reach from 0 to the output's size; a value
    // beyond that was not stored by them, and the sums the callers form with
    // it could overflow. Such a rectangle is not trusted at all.
    if (!ListRecord::ReadInts(value(QStringLiteral("screenpos"), QString()), 4, an) || !InRange(an[0], 0, nW) ||
        !InRange(an[1], 0, nH) || !InRange(an[2], 0, nW) || !InRange(an[3], 0, nH))
        an = {0, (nH >> 3) * 2, nW & ~1, (nH >> 2) * 2};
    nLeft = an[0];
    nTop = an[1];
    nWidth = an[2];
    nHeight = an[3];
}

void CSettings::SetScreenPos(int nLeft, int nTop, int nWidth, int nHeight)
{
    setValue(QStringLiteral("screenpos"), ListRecord::JoinInts({nLeft, nTop, nWidth, nHeight}));
}
