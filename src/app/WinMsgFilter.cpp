#include "app/WinMsgFilter.h"

bool WinMsgFilter::nativeEventFilter(const QByteArray& baEventType, void* pMessage, long* pnResult)
{
    Q_UNUSED(baEventType);
    Q_UNUSED(pMessage);
    Q_UNUSED(pnResult);
    // Nothing is consumed: every native event goes on to Qt.
    return false;
}
