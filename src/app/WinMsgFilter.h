// Native event filter of the application. Power notifications reach the
// program through here on platforms that send them.
#pragma once

#include <QAbstractNativeEventFilter>

class WinMsgFilter : public QAbstractNativeEventFilter
{
public:
    bool nativeEventFilter(const QByteArray& baEventType, void* pMessage, long* pnResult) override;
};
