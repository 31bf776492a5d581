// Native event filter of the application. It writes the monitor changes the
// window system reports to the log and passes every event on.
#pragma once

#include <QAbstractNativeEventFilter>

class WinMsgFilter : public QAbstractNativeEventFilter
{
public:
    // Asks the X server for monitor changes. Call once the application
    // object exists; elsewhere than on X11 it does nothing.
    void WatchMonitors();
    bool nativeEventFilter(const QByteArray& baEventType, void* pMessage, long* pnResult) override;

private:
    // The X server numbers an extension's events from a base of its own
    // choosing; -1 while monitor changes are not watched.
    int m_nRandrFirstEvent = -1;
};
