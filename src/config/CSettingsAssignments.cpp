// Channel and caption assignments: read once at start-up, kept in memory,
// written once at shutdown.
#include "config/CSettings.h"

#include "config/ListRecord.h"

#include <QCoreApplication>

#include <algorithm>
#include <iterator>
#include <vector>

namespace
{
// The engine never numbers more devices than this, so the search for the
// next present device ends here even if the engine's answers are odd.
const int s_nMaxDeviceIndex = 16;
const int s_nChannelNumberCount = 6; // device, position, reserved 1..4

const int s_anDefaultCaptionData[CSettings::CAPTION_DATA_COUNT] = {0, 1, 1, 3, 0, 0, 0};

QString ChannelKey(int nChannel)
{
    return QStringLiteral("channel_%1").arg(nChannel);
}

bool IsValidCaptionData(const std::vector<int>& an)
{
    return IsValidIndex(an[1], GetFontSizeCount()) && an[2] >= 0 && an[2] <= 5 && an[3] >= 0 && an[3] <= 5;
}
}

int CSettings::LoadAssignments(int nDeviceCount, const std::function<bool(int)>& fnHasDevice)
{
    int nNextDevice = -1;
    int nAssigned = 0;
    for (int i = 0; i < CHANNEL_COUNT; ++i)
    {
        ChannelEntry entry;
        // The name comes first and may itself contain commas, so the numbers
        // are the last six fields and everything before them is the name.
        const QStringList astrParts = ListRecord::Split(value(ChannelKey(i), QString()));
        if (astrParts.size() > s_nChannelNumberCount)
        {
            const int nNameParts = astrParts.size() - s_nChannelNumberCount;
            entry.strName = astrParts.mid(0, nNameParts).join(QLatin1Char(','));
            entry.nDevice = ListRecord::ToInt(astrParts[nNameParts]);
            entry.nPosition = ListRecord::ToInt(astrParts[nNameParts + 1]);
            for (int r = 0; r < 4; ++r)
                entry.anReserved[r] = ListRecord::ToInt(astrParts[nNameParts + 2 + r]);
        }
        else
        {
            entry.strName = QCoreApplication::translate("CSettings", "Video %1").arg(i + 1);
            if (i < nDeviceCount && fnHasDevice)
            {
                while (nAssigned < nDeviceCount && nNextDevice + 1 < s_nMaxDeviceIndex)
                {
                    ++nNextDevice;
                    if (fnHasDevice(nNextDevice))
                    {
                        entry.nDevice = nNextDevice;
                        entry.nPosition = i;
                        ++nAssigned;
                        break;
                    }
                }
            }
        }
        m_aChannels[i] = entry;
    }

    m_strCaption = value(QStringLiteral("caption"), QString()).toString();

    const std::vector<int> anData = ListRecord::ReadIntsOr(
        value(QStringLiteral("captiondata"), QString()),
        std::vector<int>(std::begin(s_anDefaultCaptionData), std::end(s_anDefaultCaptionData)), IsValidCaptionData);
    for (int k = 0; k < CAPTION_DATA_COUNT; ++k)
        m_anCaptionData[k] = anData[size_t(k)];
    return 1;
}

void CSettings::SaveAssignments()
{
    for (int i = 0; i < CHANNEL_COUNT; ++i)
    {
        const ChannelEntry& entry = m_aChannels[i];
        const std::vector<int> anNumbers = {entry.nDevice,       entry.nPosition,     entry.anReserved[0],
                                            entry.anReserved[1], entry.anReserved[2], entry.anReserved[3]};
        setValue(ChannelKey(i), entry.strName + QStringLiteral(", ") + ListRecord::JoinInts(anNumbers));
    }
    setValue(QStringLiteral("caption"), m_strCaption);
    setValue(QStringLiteral("captiondata"),
             ListRecord::JoinInts(std::vector<int>(std::begin(m_anCaptionData), std::end(m_anCaptionData))));
}

QString CSettings::GetChannelName(int nChannel) const
{
    return IsChannel(nChannel) ? m_aChannels[nChannel].strName : QString();
}

void CSettings::SetChannelName(int nChannel, const QString& strName)
{
    if (IsChannel(nChannel))
        m_aChannels[nChannel].strName = strName;
}

int CSettings::GetChannelDevice(int nChannel) const
{
    return IsChannel(nChannel) ? m_aChannels[nChannel].nDevice : -1;
}

void CSettings::SetChannelDevice(int nChannel, int nDevice)
{
    if (IsChannel(nChannel))
        m_aChannels[nChannel].nDevice = nDevice;
}

int CSettings::GetChannelPosition(int nChannel) const
{
    return IsChannel(nChannel) ? m_aChannels[nChannel].nPosition : -1;
}

void CSettings::SetChannelPosition(int nChannel, int nPosition)
{
    if (IsChannel(nChannel))
        m_aChannels[nChannel].nPosition = nPosition;
}

int CSettings::FindChannelAtPosition(int nPosition) const
{
    if (nPosition == -1)
        return -1;
    for (int i = 0; i < CHANNEL_COUNT; ++i)
    {
        if (m_aChannels[i].nDevice != -1 && m_aChannels[i].nPosition == nPosition)
            return i;
    }
    return -1;
}

QString CSettings::GetCaption() const
{
    return m_strCaption;
}

void CSettings::SetCaption(const QString& strCaption)
{
    m_strCaption = strCaption;
}

void CSettings::GetCaptionData(int& nFont, int& nFontSize, int& nBorder, int& nPosition, int& nUnderline, int& nBold,
                               int& nItalic) const
{
    nFont = m_anCaptionData[0];
    nFontSize = m_anCaptionData[1];
    nBorder = m_anCaptionData[2];
    nPosition = m_anCaptionData[3];
    nUnderline = m_anCaptionData[4];
    nBold = m_anCaptionData[5];
    nItalic = m_anCaptionData[6];
}

SCaptionData CSettings::GetCaptionDataRecord() const
{
    SCaptionData data;
    GetCaptionData(data.nFont, data.nFontSize, data.nBorder, data.nPosition, data.nUnderline, data.nBold, data.nItalic);
    return data;
}

void CSettings::SetCaptionDataRecord(const SCaptionData& data)
{
    SetCaptionData(data.nFont, data.nFontSize, data.nBorder, data.nPosition, data.nUnderline, data.nBold, data.nItalic);
}

void CSettings::SetCaptionData(int nFont, int nFontSize, int nBorder, int nPosition, int nUnderline, int nBold,
                               int nItalic)
{
    const int an[CAPTION_DATA_COUNT] = {nFont, nFontSize, nBorder, nPosition, nUnderline, nBold, nItalic};
    std::copy(std::begin(an), std::end(an), m_anCaptionData);
}
