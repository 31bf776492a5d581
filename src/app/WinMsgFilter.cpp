#include "app/WinMsgFilter.h"

#include "platform/Log.h"

#include <QCoreApplication>
#include <QTimer>
#include <QX11Info>

#include <xcb/dpms.h>
#include <xcb/randr.h>
#include <xcb/xcb.h>

#include <cstdlib>

namespace
{
// The toolkit watches the same notifications on the same connection, and a
// new selection replaces the old one: every kind it relies on stays in.
const uint16_t kRandrMask = XCB_RANDR_NOTIFY_MASK_SCREEN_CHANGE | XCB_RANDR_NOTIFY_MASK_OUTPUT_CHANGE |
                            XCB_RANDR_NOTIFY_MASK_CRTC_CHANGE | XCB_RANDR_NOTIFY_MASK_OUTPUT_PROPERTY;

QString ConnectionText(uint8_t nConnection)
{
    switch (nConnection)
    {
    case XCB_RANDR_CONNECTION_CONNECTED:
        return QStringLiteral("connected");
    case XCB_RANDR_CONNECTION_DISCONNECTED:
        return QStringLiteral("disconnected");
    default:
        return QStringLiteral("connection unknown");
    }
}

void LogScreenChange(const xcb_randr_screen_change_notify_event_t* pEvent)
{
    Log::Info("app", QStringLiteral("monitor change: screen %1x%2 pixels, %3x%4 mm, rotation %5")
                         .arg(pEvent->width)
                         .arg(pEvent->height)
                         .arg(pEvent->mwidth)
                         .arg(pEvent->mheight)
                         .arg(pEvent->rotation));
}

QString PowerText(int nLevel)
{
    switch (nLevel)
    {
    case XCB_DPMS_DPMS_MODE_ON:
        return QStringLiteral("on");
    case XCB_DPMS_DPMS_MODE_STANDBY:
        return QStringLiteral("standby");
    case XCB_DPMS_DPMS_MODE_SUSPEND:
        return QStringLiteral("suspend");
    case XCB_DPMS_DPMS_MODE_OFF:
        return QStringLiteral("off");
    default:
        return QStringLiteral("unknown");
    }
}

void LogOutputChange(const xcb_randr_output_change_t& change)
{
    Log::Info("app", QStringLiteral("monitor change: output 0x%1 %2, crtc 0x%3, mode 0x%4, rotation %5")
                         .arg(change.output, 0, 16)
                         .arg(ConnectionText(change.connection))
                         .arg(change.crtc, 0, 16)
                         .arg(change.mode, 0, 16)
                         .arg(change.rotation));
}
}

void WinMsgFilter::WatchMonitors()
{
    if (!QX11Info::isPlatformX11())
        return;
    WatchRandr();
    WatchPower();
}

void WinMsgFilter::WatchRandr()
{
    xcb_connection_t* pConnection = QX11Info::connection();
    const xcb_query_extension_reply_t* pExtension = xcb_get_extension_data(pConnection, &xcb_randr_id);
    if (!pExtension || !pExtension->present)
    {
        Log::Warning("app", QStringLiteral("monitor changes: the X server has no RandR"));
        return;
    }
    // The server sends output notifications only to clients that said they
    // know RandR 1.2; the version asked for is the connection's from then
    // on, so ask for no less than the toolkit does.
    xcb_randr_query_version_reply_t* pVersion =
        xcb_randr_query_version_reply(pConnection, xcb_randr_query_version(pConnection, 1, 5), nullptr);
    const bool bVersion = pVersion && (pVersion->major_version > 1 || pVersion->minor_version >= 2);
    free(pVersion);
    if (!bVersion)
    {
        Log::Warning("app", QStringLiteral("monitor changes: the X server's RandR is older than 1.2"));
        return;
    }
    m_nRandrFirstEvent = pExtension->first_event;
    for (xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(pConnection)); it.rem; xcb_screen_next(&it))
        xcb_randr_select_input(pConnection, it.data->root, kRandrMask);
    xcb_flush(pConnection);
}

void WinMsgFilter::WatchPower()
{
    xcb_connection_t* pConnection = QX11Info::connection();
    const xcb_query_extension_reply_t* pExtension = xcb_get_extension_data(pConnection, &xcb_dpms_id);
    if (!pExtension || !pExtension->present)
    {
        Log::Warning("app", QStringLiteral("monitor changes: the X server has no DPMS, power is not watched"));
        return;
    }
    // The first reading is the state at start, not a change.
    PollPower();
    // Owned by the application object, which this filter outlives.
    QTimer* pTimer = new QTimer(QCoreApplication::instance());
    QObject::connect(pTimer, &QTimer::timeout, [this] { PollPower(); });
    pTimer->start(POWER_POLL_MS);
}

void WinMsgFilter::PollPower()
{
    xcb_connection_t* pConnection = QX11Info::connection();
    xcb_dpms_info_reply_t* pInfo = xcb_dpms_info_reply(pConnection, xcb_dpms_info(pConnection), nullptr);
    if (!pInfo)
        return;
    // With DPMS switched off the server keeps its monitors on.
    const int nLevel = pInfo->state ? pInfo->power_level : int(XCB_DPMS_DPMS_MODE_ON);
    free(pInfo);
    if (m_nPowerLevel >= 0 && nLevel != m_nPowerLevel)
        Log::Info("app", QStringLiteral("monitor change: power %1 (DPMS level %2)").arg(PowerText(nLevel)).arg(nLevel));
    m_nPowerLevel = nLevel;
}

bool WinMsgFilter::nativeEventFilter(const QByteArray& baEventType, void* pMessage, long* pnResult)
{
    Q_UNUSED(pnResult);
    if (m_nRandrFirstEvent < 0 || baEventType != "xcb_generic_event_t" || !pMessage)
        return false;
    const auto* pEvent = static_cast<const xcb_generic_event_t*>(pMessage);
    // The top bit only says the event was sent by another client.
    const int nType = pEvent->response_type & 0x7f;
    if (nType == m_nRandrFirstEvent + XCB_RANDR_SCREEN_CHANGE_NOTIFY)
    {
        LogScreenChange(reinterpret_cast<const xcb_randr_screen_change_notify_event_t*>(pEvent));
    }
    else if (nType == m_nRandrFirstEvent + XCB_RANDR_NOTIFY)
    {
        const auto* pNotify = reinterpret_cast<const xcb_randr_notify_event_t*>(pEvent);
        if (pNotify->subCode == XCB_RANDR_NOTIFY_OUTPUT_CHANGE)
            LogOutputChange(pNotify->u.oc);
    }
    // Nothing is consumed: every native event goes on to Qt.
    return false;
}
