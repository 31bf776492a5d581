#include "ui/tabs/CTabPreview.h"

#include "engine/CKVCapture.h"
#include "config/CLayout.h"
#include "config/CSettings.h"
#include "ui/windows/CVideoWnd.h"
#include "engine/KVFrameDuration.h"
#include "config/OptionTables.h"
#include "platform/Log.h"
#include "ui/dialogs/CDeviceDlg.h"
#include "ui/windows/CLastingMessages.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QPushButton>
#include <QRect>
#include <QSignalBlocker>
#include <QVBoxLayout>

using ChannelPlacement::InsetFlag;
using ChannelPlacement::IsInsetLayout;

static_assert(int(CTabPreview::CHANNEL_COUNT) == int(ChannelPlacement::CHANNEL_COUNT),
              "the placement rules cover every channel box");

namespace
{
bool IsChannel(int nChannel)
{
    return nChannel >= 0 && nChannel < CTabPreview::CHANNEL_COUNT;
}
}

CTabPreview::CTabPreview(QWidget* pParent)
    : QWidget(pParent)
{
    m_anTakenPositions.fill(-1);
    int nLayout = g_settings.GetLayoutIndex();
    if (nLayout == -1)
    {
        nLayout = FirstRunLayout(g_capture.GetOrderedDeviceCount());
        g_settings.SetLayoutIndex(nLayout);
    }
    const int nPositionCount = g_layout.GetPositionCount(nLayout);

    QGridLayout* pGrid = new QGridLayout(this);
    for (int nChannel = 0; nChannel < CHANNEL_COUNT; ++nChannel)
    {
        CreateChannelBox(nChannel, nLayout, nPositionCount);
        pGrid->addWidget(m_aChannels[nChannel].pBox, nChannel / 2, nChannel % 2);
    }
    RefreshPositionTexts(nLayout);
    RefreshChannelStatus();
}

int CTabPreview::FirstRunLayout(int nDeviceCount)
{
    // Single, picture in picture, one above two, quad, then the six-way grid.
    if (nDeviceCount <= 1)
        return 0;
    if (nDeviceCount == 2)
        return 1;
    if (nDeviceCount == 3)
        return 3;
    if (nDeviceCount == 4)
        return 5;
    return 6;
}

void CTabPreview::CreateChannelBox(int nChannel, int nLayout, int nPositionCount)
{
    ChannelControls& controls = m_aChannels[nChannel];

    QString strName = g_settings.GetChannelName(nChannel);
    if (strName.length() > NAME_MAX_LENGTH)
    {
        strName.truncate(NAME_MAX_LENGTH);
        g_settings.SetChannelName(nChannel, strName);
    }
    const int nDevice = g_settings.GetChannelDevice(nChannel);
    const bool bHasDevice = EngineHasDevice(nDevice);

    controls.pBox = new QGroupBox(strName.isEmpty() ? QStringLiteral(" ") : strName, this);
    controls.pPosition = new QComboBox(controls.pBox);
    FillPositions(controls.pPosition, nPositionCount);

    int nPosition = g_settings.GetChannelPosition(nChannel);
    if (!bHasDevice)
    {
        controls.pPosition->setEnabled(false);
    }
    else
    {
        // The list shows "(Not set position)" for a position this layout does
        // not have; the table must say the same, or the channel would count
        // as holding a position nobody can see it in.
        if (nPosition < -1 || nPosition >= nPositionCount)
        {
            nPosition = -1;
            g_settings.SetChannelPosition(nChannel, -1);
        }
        if (nPosition >= 0)
            controls.pPosition->setCurrentIndex(nPosition + 1);
    }

    controls.pList = new QPushButton(controls.pBox);
    controls.pList->setIcon(QIcon(QStringLiteral(":/images/videolist.png")));
    // The button is a bare icon; the tooltip names what it opens.
    controls.pList->setToolTip(tr("Video Option"));
    controls.pVideo = new CVideoWnd(nChannel, controls.pBox);

    QHBoxLayout* pRow = new QHBoxLayout;
    pRow->addWidget(controls.pPosition, 1);
    pRow->addWidget(controls.pList, 0);
    QVBoxLayout* pBoxLayout = new QVBoxLayout(controls.pBox);
    pBoxLayout->addLayout(pRow);
    pBoxLayout->addWidget(controls.pVideo, 1);

    connect(controls.pList, &QPushButton::clicked, this, &CTabPreview::OnButtonList);
    ConnectPosition(nChannel);

    if (bHasDevice)
    {
        OpenChannel(nChannel, nDevice);
        if (nPosition >= 0)
            PlaceChannel(nChannel, nLayout, nPosition, InsetFlag(nLayout, nPosition));
    }
}

void CTabPreview::FillPositions(QComboBox* pCombo, int nPositionCount) const
{
    pCombo->addItem(tr("(Not set position)"));
    for (int nPosition = 0; nPosition < nPositionCount; ++nPosition)
        pCombo->addItem(tr("Position %1").arg(nPosition + 1));
}

void CTabPreview::RefreshPositionTexts(int nLayout)
{
    const int nPositionCount = g_layout.GetPositionCount(nLayout);
    for (const ChannelControls& controls : m_aChannels)
    {
        for (int nPosition = 0; nPosition < nPositionCount && nPosition + 1 < controls.pPosition->count(); ++nPosition)
            controls.pPosition->setItemText(nPosition + 1, tr("Position %1").arg(nPosition + 1));
    }
}

void CTabPreview::ShowStoredPositions()
{
    // The lists hold the positions of the layout they were last filled for.
    const int nLayout = g_settings.GetLayoutIndex();
    const int nPositionCount = g_layout.GetPositionCount(nLayout);
    for (int nChannel = 0; nChannel < CHANNEL_COUNT; ++nChannel)
    {
        m_anTakenPositions[size_t(nChannel)] = -1;
        QComboBox* pCombo = m_aChannels[nChannel].pPosition;
        const QSignalBlocker blocker(pCombo);
        pCombo->clear();
        FillPositions(pCombo, nPositionCount);
        const int nPosition = g_settings.GetChannelPosition(nChannel);
        pCombo->setCurrentIndex(nPosition >= 0 && nPosition < nPositionCount ? nPosition + 1 : 0);
    }
    RefreshPositionTexts(nLayout);
    RefreshChannelStatus();
}

void CTabPreview::ConnectPosition(int nChannel)
{
    connect(m_aChannels[nChannel].pPosition, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &CTabPreview::OnPositionChanged);
}

void CTabPreview::DisconnectPosition(int nChannel)
{
    disconnect(m_aChannels[nChannel].pPosition, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
               &CTabPreview::OnPositionChanged);
}

QComboBox* CTabPreview::GetPositionCombo(int nChannel) const
{
    return IsChannel(nChannel) ? m_aChannels[nChannel].pPosition : nullptr;
}

QPushButton* CTabPreview::GetListButton(int nChannel) const
{
    return IsChannel(nChannel) ? m_aChannels[nChannel].pList : nullptr;
}

QGroupBox* CTabPreview::GetChannelBox(int nChannel) const
{
    return IsChannel(nChannel) ? m_aChannels[nChannel].pBox : nullptr;
}

CVideoWnd* CTabPreview::GetVideoWnd(int nChannel) const
{
    return IsChannel(nChannel) ? m_aChannels[nChannel].pVideo : nullptr;
}

// ---- Placement ----

bool CTabPreview::GetRect(int nLayout, int nPosition, QRect& rect)
{
    return g_layout.GetPositionRect(nLayout, nPosition, g_settings.GetOutputWidth(), g_settings.GetOutputHeight(),
                                    rect);
}

void CTabPreview::PlaceChannel(int nChannel, int nLayout, int nPosition, int bInset)
{
    QRect rect;
    if (!GetRect(nLayout, nPosition, rect) || rect.isEmpty())
    {
        // A position that lies outside the output shows nothing; the channel
        // must not stay where an earlier position put it either.
        Log::Warning("ui", QStringLiteral("device tab: position %1 of layout %2 has no area in the output; "
                                          "channel %3 is not shown")
                               .arg(nPosition + 1)
                               .arg(nLayout)
                               .arg(nChannel));
        g_capture.RemoveMixerChannel(nChannel);
        return;
    }
    g_capture.PlaceChannel(nChannel, rect.x(), rect.y(), rect.width(), rect.height(), 255, bInset);
}

void CTabPreview::ReplacePair(int nLayout, int nFirst, int nSecond)
{
    g_capture.RemoveMixerChannel(nFirst);
    g_capture.RemoveMixerChannel(nSecond);
    PlaceChannel(nFirst, nLayout, 0, 0);
    PlaceChannel(nSecond, nLayout, 1, IsInsetLayout(nLayout) ? 1 : 0);
}

bool CTabPreview::EngineHasDevice(int nDevice)
{
    return nDevice >= 0 && nDevice < g_capture.GetDeviceCount(true);
}

int CTabPreview::FrameDuration()
{
    int nSize = 0;
    int nRate = 0;
    g_settings.GetOutputFormat(nSize, nRate);
    return FrameDurationFromRate(GetFrameRate(nRate));
}

// ---- Slots ----

void CTabPreview::OnButtonList()
{
    for (int nChannel = 0; nChannel < CHANNEL_COUNT; ++nChannel)
    {
        if (sender() == m_aChannels[nChannel].pList)
        {
            RunDeviceDialog(nChannel);
            return;
        }
    }
}

void CTabPreview::RunDeviceDialog(int nChannel)
{
    // Parented to this tab so that it opens over the main window and stays
    // in front of it.
    CDeviceDlg dialog(nChannel, m_bBusy, this, this);
    dialog.exec();
    // The dialog may have given the channel another device, or taken
    // another channel's.
    RefreshChannelStatus();
}

void CTabPreview::OnPositionChanged(int nIndex)
{
    int nChannel = -1;
    for (int i = 0; i < CHANNEL_COUNT; ++i)
    {
        if (sender() == m_aChannels[i].pPosition)
            nChannel = i;
    }
    // A list being emptied reports -1; that is no choice of the user.
    if (nChannel < 0 || nIndex < 0)
        return;

    const int nLayout = g_settings.GetLayoutIndex();
    const ChannelPlacement::SMove move =
        ChannelPlacement::MoveChannel(CurrentChannelTable(), CurrentLayoutFacts(nLayout), nChannel, nIndex - 1);
    ApplyPositions(move.vecPositions);
    ApplyMixerSteps(nLayout, move.vecSteps);
    RefreshPositionTexts(nLayout);
    RefreshChannelStatus();
}

ChannelPlacement::ChannelTable CTabPreview::CurrentChannelTable()
{
    ChannelPlacement::ChannelTable table;
    for (int nChannel = 0; nChannel < CHANNEL_COUNT; ++nChannel)
    {
        table[size_t(nChannel)].nDevice = g_settings.GetChannelDevice(nChannel);
        table[size_t(nChannel)].nPosition = g_settings.GetChannelPosition(nChannel);
        table[size_t(nChannel)].bPlaced = g_capture.IsChannelPlaced(nChannel);
    }
    return table;
}

ChannelPlacement::SLayout CTabPreview::CurrentLayoutFacts(int nLayout)
{
    ChannelPlacement::SLayout layout;
    layout.nLayout = nLayout;
    layout.nPositionCount = g_layout.GetPositionCount(nLayout);
    for (int nPosition = 0; nPosition < layout.nPositionCount; ++nPosition)
    {
        QRect rect;
        layout.vecLeftEdge.push_back(GetRect(nLayout, nPosition, rect) && rect.x() == 0);
    }
    return layout;
}

void CTabPreview::ApplyPositions(const std::vector<ChannelPlacement::SPositionChange>& vecChanges)
{
    for (const ChannelPlacement::SPositionChange& change : vecChanges)
    {
        m_anTakenPositions[size_t(change.nChannel)] = -1;
        g_settings.SetChannelPosition(change.nChannel, change.nPosition);
        const QSignalBlocker blocker(m_aChannels[change.nChannel].pPosition);
        m_aChannels[change.nChannel].pPosition->setCurrentIndex(change.nPosition + 1);
    }
}

void CTabPreview::ApplyMixerSteps(int nLayout, const std::vector<ChannelPlacement::SMixerStep>& vecSteps)
{
    for (const ChannelPlacement::SMixerStep& step : vecSteps)
    {
        switch (step.eKind)
        {
        case ChannelPlacement::SMixerStep::PLACE:
            PlaceChannel(step.nChannel, nLayout, step.nPosition, step.bInset);
            break;
        case ChannelPlacement::SMixerStep::REMOVE:
            g_capture.RemoveMixerChannel(step.nChannel);
            break;
        case ChannelPlacement::SMixerStep::REPLACE_PAIR:
            ReplacePair(nLayout, step.nChannel, step.nSecond);
            break;
        case ChannelPlacement::SMixerStep::TRANSITION:
            // Half a second at the usual rates.
            g_capture.StartTransition(step.nChannel, step.nSecond, 2 * FrameDuration());
            break;
        }
    }
}

// ---- IVideoWndCallback ----

void CTabPreview::OnVideoWndClicked(uint32_t nValue)
{
    (void)nValue;
}

void CTabPreview::OnVideoWndDoubleClicked(uint32_t nValue)
{
    (void)nValue;
}

// ---- IDeviceCallback ----

void CTabPreview::SetChannelTitle(int nChannel, const QString& strTitle)
{
    if (!IsChannel(nChannel))
        return;
    m_aChannels[nChannel].pBox->setTitle(strTitle.isEmpty() ? QStringLiteral(" ") : strTitle);
    RefreshPositionTexts(g_settings.GetLayoutIndex());
}

QString CTabPreview::GetChannelTitle(int nChannel)
{
    return IsChannel(nChannel) ? m_aChannels[nChannel].pBox->title() : QString();
}

void CTabPreview::OnDeviceSelected(int nChannel, int nDevice)
{
    if (!IsChannel(nChannel))
        return;
    ChannelControls& controls = m_aChannels[nChannel];
    // A position taken from the old device's picture is no place for another.
    m_anTakenPositions[size_t(nChannel)] = -1;

    if (nDevice < 0)
    {
        controls.pPosition->setEnabled(false);
        g_capture.CloseChannel(nChannel);
        controls.bOpenFailed = false;
        controls.pVideo->SetPlaceholder(true);
        // Through the position slot, which takes the channel out of the table's
        // positions as well.
        controls.pPosition->setCurrentIndex(0);
        RefreshPositionTexts(g_settings.GetLayoutIndex());
        RefreshChannelStatus();
        return;
    }

    controls.pPosition->setEnabled(true);
    // A device feeds one channel only: the channel that had it gives it up.
    for (int j = 0; j < CHANNEL_COUNT; ++j)
    {
        const CKVChannel* pOther = g_capture.GetChannel(j);
        if (j == nChannel || !pOther || !pOther->IsOpen() || pOther->GetDeviceIndex() != nDevice)
            continue;
        g_capture.CloseChannel(j);
        m_anTakenPositions[size_t(j)] = -1;
        m_aChannels[j].bOpenFailed = false;
        m_aChannels[j].pPosition->setCurrentIndex(0);
        m_aChannels[j].pPosition->setEnabled(false);
        g_settings.SetChannelDevice(j, -1);
        m_aChannels[j].pVideo->SetPlaceholder(true);
        break;
    }

    // The previous device's last picture must not show for the new one.
    controls.pVideo->SetPlaceholder(true);
    const CKVChannel* pChannel = g_capture.GetChannel(nChannel);
    if (pChannel && pChannel->IsOpen())
        g_capture.CloseChannel(nChannel);
    OpenChannel(nChannel, nDevice);

    const int nIndex = controls.pPosition->currentIndex();
    if (nIndex >= 1)
        PlaceChannel(nChannel, g_settings.GetLayoutIndex(), nIndex - 1, 0);
    RefreshChannelStatus();
}

void CTabPreview::OnLayoutChanged(int nLayout)
{
    const int nPositionCount = g_layout.GetPositionCount(nLayout);
    // The positions the channels keep in the new layout decide which taken
    // ones are free to be given back.
    ChannelPlacement::ChannelTable table = CurrentChannelTable();
    for (int nChannel = 0; nChannel < CHANNEL_COUNT; ++nChannel)
    {
        const int nIndex = m_aChannels[nChannel].pPosition->currentIndex();
        table[size_t(nChannel)].nPosition = nIndex >= 1 && nIndex <= nPositionCount ? nIndex - 1 : -1;
    }
    const ChannelPlacement::PositionList anReturned =
        ChannelPlacement::ReturnTakenPositions(table, m_anTakenPositions, nPositionCount);

    int nInset = -1;
    for (int nChannel = 0; nChannel < CHANNEL_COUNT; ++nChannel)
    {
        QComboBox* pCombo = m_aChannels[nChannel].pPosition;
        DisconnectPosition(nChannel);
        int nIndex = pCombo->currentIndex();
        pCombo->clear();
        FillPositions(pCombo, nPositionCount);
        if (anReturned[size_t(nChannel)] >= 0)
        {
            nIndex = anReturned[size_t(nChannel)] + 1;
            g_settings.SetChannelPosition(nChannel, nIndex - 1);
            m_anTakenPositions[size_t(nChannel)] = -1;
        }

        if (nIndex <= nPositionCount)
        {
            pCombo->setCurrentIndex(qMax(nIndex, 0));
            if (nIndex >= 1)
            {
                const int nPosition = nIndex - 1;
                PlaceChannel(nChannel, nLayout, nPosition, 0);
                if (IsInsetLayout(nLayout))
                {
                    if (nPosition == 1)
                        nInset = nChannel;
                    else if (nPosition == 0 && nInset >= 0)
                        ReplacePair(nLayout, nChannel, nInset);
                }
            }
        }
        else
        {
            m_anTakenPositions[size_t(nChannel)] = nIndex - 1;
            pCombo->setCurrentIndex(0);
            g_capture.RemoveMixerChannel(nChannel);
            g_settings.SetChannelPosition(nChannel, -1);
        }
        ConnectPosition(nChannel);
    }
    RefreshPositionTexts(nLayout);
    RefreshChannelStatus();
}

void CTabPreview::SetPositionIndex(int nChannel, int nIndex)
{
    if (IsChannel(nChannel))
        m_aChannels[nChannel].pPosition->setCurrentIndex(nIndex);
}

void CTabPreview::ApplyChannelRects()
{
    const int nLayout = g_settings.GetLayoutIndex();
    const int nPositionCount = g_layout.GetPositionCount(nLayout);
    for (int nChannel = 0; nChannel < CHANNEL_COUNT; ++nChannel)
    {
        const int nDevice = g_settings.GetChannelDevice(nChannel);
        const int nPosition = g_settings.GetChannelPosition(nChannel);
        if (EngineHasDevice(nDevice) && nPosition >= 0 && nPosition < nPositionCount)
            PlaceChannel(nChannel, nLayout, nPosition, InsetFlag(nLayout, nPosition));
    }
    // Called after the channels were restarted at a new output format, which
    // some devices may have refused or taken again.
    RefreshChannelStatus();
}

void CTabPreview::GetSignalStatus(int nChannel, int& nNoSignal, int& nInputType)
{
    if (CKVChannel* pChannel = g_capture.GetChannel(nChannel))
        pChannel->GetSignalState(nNoSignal, nInputType);
}

bool CTabPreview::GetChannelRates(int nChannel, float afRates[2])
{
    CKVChannel* pChannel = g_capture.GetChannel(nChannel);
    if (!pChannel)
        return false;
    float fFps = 0.0f;
    const bool bOk = pChannel->GetStatistics(fFps);
    afRates[0] = fFps;
    afRates[1] = 0.0f;
    return bOk;
}

void CTabPreview::ResetUnassignedChannels()
{
    for (int nChannel = 0; nChannel < CHANNEL_COUNT; ++nChannel)
    {
        if (g_settings.GetChannelDevice(nChannel) != -1)
            continue;
        ChannelControls& controls = m_aChannels[nChannel];
        m_anTakenPositions[size_t(nChannel)] = -1;
        controls.bOpenFailed = false;
        controls.pVideo->SetPlaceholder(true);
        {
            const QSignalBlocker blocker(controls.pPosition);
            controls.pPosition->setCurrentIndex(0);
        }
        controls.pPosition->setEnabled(false);
        g_settings.SetChannelPosition(nChannel, -1);
        // A channel without a device has no place in the picture.
        if (g_capture.IsChannelPlaced(nChannel))
            g_capture.RemoveMixerChannel(nChannel);
        controls.pVideo->setToolTip(QString());
    }
}

void CTabPreview::OpenChannel(int nChannel, int nDevice)
{
    ChannelControls& controls = m_aChannels[nChannel];
    g_capture.OpenChannel(nChannel, nDevice, controls.pVideo->GetWindowHandle());
    const CKVChannel* pChannel = g_capture.GetChannel(nChannel);
    controls.bOpenFailed = !pChannel || !pChannel->IsOpen();
}

void CTabPreview::RefreshChannelStatus()
{
    for (int nChannel = 0; nChannel < CHANNEL_COUNT; ++nChannel)
    {
        const CKVChannel* pChannel = g_capture.GetChannel(nChannel);
        CVideoWnd* pVideo = m_aChannels[nChannel].pVideo;
        if (!pVideo)
            continue;
        // Only a capturing channel has pictures to show; anything else shows
        // the placeholder, or says itself that its device is busy.
        pVideo->SetPlaceholder(!pChannel || !pChannel->IsStarted());
        pVideo->setToolTip(ChannelStatusText(nChannel));
        ReportLostCamera(nChannel, pChannel && pChannel->IsOpen() && pChannel->IsDeviceLost());
    }
}

void CTabPreview::ReportLostCamera(int nChannel, bool bLost)
{
    CVideoWnd* pVideo = m_aChannels[nChannel].pVideo;
    const QString strKey = QStringLiteral("camera%1").arg(nChannel);
    if (!bLost)
    {
        pVideo->SetPlaceholderText(QString());
        CLastingMessages::Clear(this, strKey);
        return;
    }
    // A lost camera looks like an empty channel otherwise; the status bar
    // names it, since the preview is out of sight on the other tabs.
    pVideo->SetPlaceholderText(tr("No signal"));
    QString strName;
    g_capture.GetDeviceName(true, g_capture.GetChannel(nChannel)->GetDeviceIndex(), strName);
    const QString strText =
        strName.isEmpty() ? tr("The camera of Video %1 is unplugged: no signal.").arg(nChannel + 1)
                          : tr("The camera \"%1\" (Video %2) is unplugged: no signal.").arg(strName).arg(nChannel + 1);
    CLastingMessages::Set(this, strKey, strText);
}

QString CTabPreview::ChannelStatusText(int nChannel) const
{
    const CKVChannel* pChannel = g_capture.GetChannel(nChannel);
    if (!pChannel || pChannel->IsDeviceBusy())
        return QString();
    // A channel with no device, or one the engine does not have, is already
    // shown by its disabled position list.
    if (!pChannel->IsOpen())
        return m_aChannels[nChannel].bOpenFailed ? tr("No picture: the device could not be opened") : QString();
    // Unplugged: it comes back by itself when the camera does.
    if (pChannel->IsDeviceLost())
        return tr("No signal");
    if (!pChannel->IsStarted())
        return tr("No picture: the device does not support this size");
    if (m_aChannels[nChannel].pPosition->currentIndex() >= 1 && !g_capture.IsChannelPlaced(nChannel))
        return tr("Not shown in the output");
    return QString();
}
