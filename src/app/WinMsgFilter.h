// Native event filter of the application. It writes the monitor changes the
// window system reports to the log and passes every event on. The monitors'
// power state (switched off and on by the X server's DPMS) sends no event;
// it is read every half second, and each change is logged beside them.
#pragma once

#include <QAbstractNativeEventFilter>

class WinMsgFilter : public QAbstractNativeEventFilter
{
public:
    // Asks the X server for monitor changes and starts reading the power
    // state. Call once the application object exists; elsewhere than on X11
    // it does nothing. The filter must outlive the application object.
    void WatchMonitors();
    bool nativeEventFilter(const QByteArray& baEventType, void* pMessage, long* pnResult) override;

    // How often the power state is read.
    static const int POWER_POLL_MS = 500;

private:
    void WatchRandr();
    void WatchPower();
    // Reads the power state and logs it when it changed.
    void PollPower();

    // The X server numbers an extension's events from a base of its own
    // choosing; -1 while monitor changes are not watched.
    int m_nRandrFirstEvent = -1;
    // The DPMS level last read (0 on .. 3 off); -1 before the first.
    int m_nPowerLevel = -1;
};
