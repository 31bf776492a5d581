// What the Device tab offers the other tabs and the device dialog: they
// change channel names, devices, positions and the layout through it, so
// that the channel table, the open channels and the mixer stay consistent.
// Channel numbers are 0..5.
#pragma once

#include <QString>

class IDeviceCallback
{
public:
    // An empty title is shown as one blank, so the channel box keeps its frame.
    virtual void SetChannelTitle(int nChannel, const QString& strTitle) = 0;
    // nDevice -1 releases the channel's device. The caller stores the device
    // in the channel table afterwards.
    virtual void OnDeviceSelected(int nChannel, int nDevice) = 0;
    virtual void OnLayoutChanged(int nLayout) = 0;
    // Selects item nIndex of the channel's position list (0 = not placed),
    // which moves the channel as if the user had chosen it.
    virtual void SetPositionIndex(int nChannel, int nIndex)
    {
        (void)nChannel;
        (void)nIndex;
    }
    virtual QString GetChannelTitle(int nChannel)
    {
        (void)nChannel;
        return QString();
    }
    // Places every assigned channel again, for the current layout and output
    // size; needed after the mixer was rebuilt.
    virtual void ApplyChannelRects() = 0;
    // Leaves both values alone when the channel has no device to ask.
    virtual void GetSignalStatus(int nChannel, int& nNoSignal, int& nInputType)
    {
        (void)nChannel;
        (void)nNoSignal;
        (void)nInputType;
    }
    // afRates[0]: captured frames per second; afRates[1]: kept for a second
    // rate, 0 for now.
    virtual bool GetChannelRates(int nChannel, float afRates[2])
    {
        (void)nChannel;
        (void)afRates;
        return false;
    }
    // Every channel without a device goes back to "not placed".
    virtual void ResetUnassignedChannels() {}

protected:
    // Never deleted through the interface.
    ~IDeviceCallback() = default;
};
