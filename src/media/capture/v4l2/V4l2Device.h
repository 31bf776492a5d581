// Real capture devices through the kernel's video interface: listing,
// picture controls, input status. Capturing itself goes through libavdevice
// (V4l2Producer).
#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <vector>

namespace KVMedia
{
struct SV4l2Node
{
    QString strPath;     // /dev/videoN
    QString strCard;     // the driver's card name
    int nMaxWidth = 0;   // the largest width and the largest height offered,
    int nMaxHeight = 0;  // not necessarily of one size
    QByteArray baSerial; // USB serial number, empty when there is none
    QString strPort;     // the USB device's sysfs path: the port it is plugged into
};

// One size a node offers in one of the formats we read (YUYV or MJPEG).
struct SV4l2Size
{
    uint32_t nFourcc;
    int nWidth;
    int nHeight;
    int nMaxFps = 0; // the fastest rate offered at this size; 0 when unknown
};

// The largest width and the largest height among the sizes; 0 x 0 for none.
void GetLargestDimensions(const std::vector<SV4l2Size>& vecSizes, int* pnWidth, int* pnHeight);

// Capture-capable nodes in node-number order; empty when there are none.
std::vector<SV4l2Node> EnumerateV4l2Nodes();

// What to ask the device for so that it delivers nWidth x nHeight at dFps
// frames per second best: YUYV of exactly that size, else MJPEG of that
// size, else the smallest offered size covering it, else the largest
// offered. A size counts only where it is offered at dFps (0: any rate),
// unless no size is: cameras send large uncompressed pictures slowly, and
// the same size in MJPEG keeps the rate. Above 30 fps, where nothing
// offered at dFps covers the size, the sizes offered at half of it count
// instead when one of them does.
struct SV4l2Choice
{
    uint32_t nFourcc = 0;
    int nWidth = 0;
    int nHeight = 0;
};
bool ChooseV4l2Format(const QString& strPath, int nWidth, int nHeight, SV4l2Choice* pChoice, double dFps = 0);
// The same choice among a list of offered sizes; false for an empty list.
bool ChooseV4l2Size(const std::vector<SV4l2Size>& vecSizes, int nWidth, int nHeight, SV4l2Choice* pChoice,
                    double dFps = 0);

// A handle on a node for its controls and input status.
class CV4l2Controls
{
public:
    explicit CV4l2Controls(const QString& strPath);
    ~CV4l2Controls();
    CV4l2Controls(const CV4l2Controls&) = delete;
    CV4l2Controls& operator=(const CV4l2Controls&) = delete;

    bool IsOpen() const { return m_fd >= 0; }
    // nParam: KVPHD_PARAM_*.
    bool GetRange(int nParam, int* pMin, int* pMax, int* pDefault) const;
    bool Get(int nParam, int* pValue) const;
    bool Set(int nParam, int nValue) const;
    // 1 with a signal (or when the driver cannot tell), 0 without, and 0
    // once the device is gone.
    int IsSignalPresent() const;
    // An INPUT_* kind guessed from the current input's name.
    int GetInputType() const;

private:
    int m_fd = -1;
};
}
