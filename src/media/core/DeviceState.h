// One video device as this layer knows it. Shared by the device list and by
// every capture and property handle opened on it, so a handle stays usable
// while the list is rebuilt.
#pragma once

#include "media/KVProperty.h"

#include <QByteArray>
#include <QString>

#include <atomic>

namespace KVMedia
{
constexpr int CONTROL_COUNT = 4; // brightness, contrast, hue, saturation
constexpr int VIRTUAL_CONTROL_MIN = 0;
constexpr int VIRTUAL_CONTROL_MAX = 255;
constexpr int VIRTUAL_CONTROL_DEFAULT = 128;

// Input kinds as the property dialog names them.
enum
{
    INPUT_HDMI = 0,
    INPUT_VGA = 1,
    INPUT_COMPONENT = 2,
    INPUT_CVBS = 3,
    INPUT_SVIDEO = 4,
    INPUT_SDI = 5,
};

class CVideoDeviceState
{
public:
    enum EKind
    {
        KIND_V4L2,
        KIND_VIRTUAL
    };

    EKind eKind = KIND_VIRTUAL;
    QString strName;
    // "virtual:<n>", or "v4l2:<node>" after the node it was first seen on,
    // with "#<n>" when an earlier device had that node; never changes.
    QByteArray baIdentity;
    int nFamily = 2;
    int nMaxWidth = 0;
    int nMaxHeight = 0;
    QByteArray baSerial;
    // V4L2 only: /dev/videoN where it was last seen; empty while it is away
    // and another camera has that node.
    QString strNode;
    int nPattern = 0; // virtual only: which test picture

    // Virtual only; a real device keeps its controls and signal itself.
    std::atomic<int> anControl[CONTROL_COUNT] = {
        {VIRTUAL_CONTROL_DEFAULT}, {VIRTUAL_CONTROL_DEFAULT}, {VIRTUAL_CONTROL_DEFAULT}, {VIRTUAL_CONTROL_DEFAULT}};
    // Bumped on every control change, so a capture thread re-applies them
    // only when something changed.
    std::atomic<uint32_t> nControlVersion{0};
    std::atomic<bool> bSignalPresent{true};
    // V4L2 only: false while the device is unplugged. Its entry stays, so
    // that device numbers keep their meaning until it comes back.
    std::atomic<bool> bPresent{true};
    QString strPort; // V4L2 only: the USB port it was last seen on
};
}
