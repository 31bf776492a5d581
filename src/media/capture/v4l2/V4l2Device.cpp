#include "media/capture/v4l2/V4l2Device.h"

#include "media/core/DeviceState.h"
#include "platform/Log.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <linux/videodev2.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>

namespace KVMedia
{
namespace
{
int Ioctl(int fd, unsigned long nRequest, void* pArg)
{
    int nResult;
    do
        nResult = ioctl(fd, nRequest, pArg);
    while (nResult < 0 && errno == EINTR);
    return nResult;
}

int OpenNode(const QString& strPath)
{
    // Non-blocking: opening for controls must never wait for the device.
    return ::open(QFile::encodeName(strPath).constData(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
}

int MaxFps(int fd, uint32_t nFourcc, int nWidth, int nHeight)
{
    v4l2_frmivalenum interval;
    std::memset(&interval, 0, sizeof(interval));
    interval.pixel_format = nFourcc;
    interval.width = uint32_t(nWidth);
    interval.height = uint32_t(nHeight);
    double dFastest = 0;
    for (interval.index = 0; Ioctl(fd, VIDIOC_ENUM_FRAMEINTERVALS, &interval) == 0; ++interval.index)
    {
        // Stepwise ranges: their shortest interval is the first one.
        const v4l2_fract& fract =
            interval.type == V4L2_FRMIVAL_TYPE_DISCRETE ? interval.discrete : interval.stepwise.min;
        if (fract.numerator)
            dFastest = std::max(dFastest, double(fract.denominator) / fract.numerator);
        if (interval.type != V4L2_FRMIVAL_TYPE_DISCRETE)
            break;
    }
    return int(std::lround(dFastest));
}

std::vector<SV4l2Size> ListSizes(int fd)
{
    std::vector<SV4l2Size> vecSizes;
    for (uint32_t nFourcc : {uint32_t(V4L2_PIX_FMT_YUYV), uint32_t(V4L2_PIX_FMT_MJPEG)})
    {
        v4l2_frmsizeenum frmsize;
        std::memset(&frmsize, 0, sizeof(frmsize));
        frmsize.pixel_format = nFourcc;
        for (frmsize.index = 0; Ioctl(fd, VIDIOC_ENUM_FRAMESIZES, &frmsize) == 0; ++frmsize.index)
        {
            if (frmsize.type == V4L2_FRMSIZE_TYPE_DISCRETE)
                vecSizes.push_back({nFourcc, int(frmsize.discrete.width), int(frmsize.discrete.height),
                                    MaxFps(fd, nFourcc, int(frmsize.discrete.width), int(frmsize.discrete.height))});
            else
            {
                // Stepwise and continuous ranges: the extremes are enough here.
                vecSizes.push_back({nFourcc, int(frmsize.stepwise.min_width), int(frmsize.stepwise.min_height), 0});
                vecSizes.push_back({nFourcc, int(frmsize.stepwise.max_width), int(frmsize.stepwise.max_height), 0});
                break;
            }
        }
    }
    return vecSizes;
}

QByteArray ReadUsbSerial(const QString& strNodeName)
{
    // The node's "device" link points at the USB interface; the serial
    // number belongs to the USB device one level up.
    const QString strInterface =
        QFileInfo(QStringLiteral("/sys/class/video4linux/%1/device").arg(strNodeName)).canonicalFilePath();
    if (strInterface.isEmpty())
        return QByteArray();
    for (const QString& strCandidate :
         {strInterface + QStringLiteral("/serial"), strInterface + QStringLiteral("/../serial")})
    {
        QFile file(strCandidate);
        if (file.open(QIODevice::ReadOnly))
            return file.readAll().trimmed();
    }
    return QByteArray();
}

// The USB device the node belongs to, as a sysfs path: it names the port,
// which stays the same when the camera is plugged in again there.
QString ReadUsbPort(const QString& strNodeName)
{
    const QString strInterface =
        QFileInfo(QStringLiteral("/sys/class/video4linux/%1/device").arg(strNodeName)).canonicalFilePath();
    return strInterface.isEmpty() ? QString() : QFileInfo(strInterface).path();
}

uint32_t ControlId(int nParam)
{
    switch (nParam)
    {
    case KVPHD_PARAM_BRIGHTNESS:
        return V4L2_CID_BRIGHTNESS;
    case KVPHD_PARAM_CONTRAST:
        return V4L2_CID_CONTRAST;
    case KVPHD_PARAM_HUE:
        return V4L2_CID_HUE;
    case KVPHD_PARAM_SATURATION:
        return V4L2_CID_SATURATION;
    default:
        return 0;
    }
}
}

std::vector<SV4l2Node> EnumerateV4l2Nodes()
{
    std::vector<SV4l2Node> vecNodes;
    const QDir dirClass(QStringLiteral("/sys/class/video4linux"));
    if (!dirClass.exists())
        return vecNodes;

    static const QRegularExpression s_reNode(QStringLiteral("^video(\\d+)$"));
    std::vector<std::pair<int, QString>> vecNames;
    for (const QString& strName : dirClass.entryList(QDir::Dirs | QDir::System | QDir::NoDotAndDotDot))
    {
        const QRegularExpressionMatch match = s_reNode.match(strName);
        if (match.hasMatch())
            vecNames.emplace_back(match.captured(1).toInt(), strName);
    }
    std::sort(vecNames.begin(), vecNames.end());

    for (const auto& entry : vecNames)
    {
        const QString strPath = QStringLiteral("/dev/") + entry.second;
        const int fd = OpenNode(strPath);
        if (fd < 0)
            continue;
        v4l2_capability cap;
        std::memset(&cap, 0, sizeof(cap));
        const bool bQueried = Ioctl(fd, VIDIOC_QUERYCAP, &cap) == 0;
        const uint32_t nCaps = (cap.capabilities & V4L2_CAP_DEVICE_CAPS) ? cap.device_caps : cap.capabilities;
        if (!bQueried || !(nCaps & V4L2_CAP_VIDEO_CAPTURE))
        {
            ::close(fd);
            continue;
        }
        SV4l2Node node;
        node.strPath = strPath;
        node.strCard = QString::fromUtf8(reinterpret_cast<const char*>(cap.card),
                                         int(strnlen(reinterpret_cast<const char*>(cap.card), sizeof(cap.card))));
        if (node.strCard.isEmpty())
            node.strCard = entry.second;
        GetLargestDimensions(ListSizes(fd), &node.nMaxWidth, &node.nMaxHeight);
        ::close(fd);
        if (node.nMaxWidth <= 0 || node.nMaxHeight <= 0)
        {
            // Offers neither YUYV nor MJPEG: nothing we could deliver.
            Log::Warning("capture", QStringLiteral("%1: no YUYV or MJPEG sizes, ignored").arg(strPath));
            continue;
        }
        node.baSerial = ReadUsbSerial(entry.second);
        node.strPort = ReadUsbPort(entry.second);
        vecNodes.push_back(node);
    }
    return vecNodes;
}

void GetLargestDimensions(const std::vector<SV4l2Size>& vecSizes, int* pnWidth, int* pnHeight)
{
    // Width and height each on their own: a camera offering 1920x1080 and
    // 1600x1200 can deliver both, which no single size of the list says.
    *pnWidth = 0;
    *pnHeight = 0;
    for (const SV4l2Size& size : vecSizes)
    {
        *pnWidth = std::max(*pnWidth, size.nWidth);
        *pnHeight = std::max(*pnHeight, size.nHeight);
    }
}

bool ChooseV4l2Format(const QString& strPath, int nWidth, int nHeight, SV4l2Choice* pChoice, double dFps)
{
    const int fd = OpenNode(strPath);
    if (fd < 0)
        return false;
    const std::vector<SV4l2Size> vecSizes = ListSizes(fd);
    ::close(fd);
    return ChooseV4l2Size(vecSizes, nWidth, nHeight, pChoice, dFps);
}

namespace
{
std::vector<SV4l2Size> OfferedAt(const std::vector<SV4l2Size>& vecAll, double dFps)
{
    std::vector<SV4l2Size> vecSizes;
    for (const SV4l2Size& size : vecAll)
        if (size.nMaxFps <= 0 || dFps <= 0 || size.nMaxFps + 0.5 >= dFps)
            vecSizes.push_back(size);
    return vecSizes;
}

bool AnyCovers(const std::vector<SV4l2Size>& vecSizes, int nWidth, int nHeight)
{
    return std::any_of(vecSizes.begin(), vecSizes.end(), [nWidth, nHeight](const SV4l2Size& size) {
        return size.nWidth >= nWidth && size.nHeight >= nHeight;
    });
}
}

bool ChooseV4l2Size(const std::vector<SV4l2Size>& vecAll, int nWidth, int nHeight, SV4l2Choice* pChoice, double dFps)
{
    std::vector<SV4l2Size> vecSizes = OfferedAt(vecAll, dFps);
    // Past 30 fps most cameras reach the rate only at small sizes. One that
    // gives the picture at half the rate shows each frame twice, which
    // looks like the 30 fps everybody knows; a small picture blown up to
    // the output looks worse.
    const double dMaxCommonFps = 30.5;
    if (dFps > dMaxCommonFps && !AnyCovers(vecSizes, nWidth, nHeight))
    {
        std::vector<SV4l2Size> vecHalf = OfferedAt(vecAll, dFps / 2);
        if (AnyCovers(vecHalf, nWidth, nHeight))
            vecSizes.swap(vecHalf);
    }
    // Nothing is offered that fast: the best picture at whatever rate.
    if (vecSizes.empty())
        vecSizes = vecAll;
    if (vecSizes.empty())
        return false;

    for (uint32_t nFourcc : {uint32_t(V4L2_PIX_FMT_YUYV), uint32_t(V4L2_PIX_FMT_MJPEG)})
    {
        for (const SV4l2Size& size : vecSizes)
        {
            if (size.nFourcc == nFourcc && size.nWidth == nWidth && size.nHeight == nHeight)
            {
                *pChoice = {nFourcc, nWidth, nHeight};
                return true;
            }
        }
    }
    const SV4l2Size* pBest = nullptr;
    for (const SV4l2Size& size : vecSizes)
    {
        const bool bCovers = size.nWidth >= nWidth && size.nHeight >= nHeight;
        const qint64 nArea = qint64(size.nWidth) * size.nHeight;
        if (!pBest)
        {
            pBest = &size;
            continue;
        }
        const bool bBestCovers = pBest->nWidth >= nWidth && pBest->nHeight >= nHeight;
        const qint64 nBestArea = qint64(pBest->nWidth) * pBest->nHeight;
        if ((bCovers && !bBestCovers) || (bCovers && nArea < nBestArea) ||
            (!bCovers && !bBestCovers && nArea > nBestArea))
            pBest = &size;
    }
    *pChoice = {pBest->nFourcc, pBest->nWidth, pBest->nHeight};
    return true;
}

CV4l2Controls::CV4l2Controls(const QString& strPath)
    : m_fd(OpenNode(strPath))
{
}

CV4l2Controls::~CV4l2Controls()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

bool CV4l2Controls::GetRange(int nParam, int* pMin, int* pMax, int* pDefault) const
{
    v4l2_queryctrl query;
    std::memset(&query, 0, sizeof(query));
    query.id = ControlId(nParam);
    if (m_fd < 0 || !query.id || Ioctl(m_fd, VIDIOC_QUERYCTRL, &query) < 0 || (query.flags & V4L2_CTRL_FLAG_DISABLED))
        return false;
    *pMin = query.minimum;
    *pMax = query.maximum;
    *pDefault = query.default_value;
    return true;
}

bool CV4l2Controls::Get(int nParam, int* pValue) const
{
    v4l2_control control;
    std::memset(&control, 0, sizeof(control));
    control.id = ControlId(nParam);
    if (m_fd < 0 || !control.id || Ioctl(m_fd, VIDIOC_G_CTRL, &control) < 0)
        return false;
    *pValue = control.value;
    return true;
}

bool CV4l2Controls::Set(int nParam, int nValue) const
{
    v4l2_control control;
    std::memset(&control, 0, sizeof(control));
    control.id = ControlId(nParam);
    control.value = nValue;
    return m_fd >= 0 && control.id && Ioctl(m_fd, VIDIOC_S_CTRL, &control) == 0;
}

int CV4l2Controls::IsSignalPresent() const
{
    int nInput = 0;
    if (m_fd < 0)
        return 1;
    if (Ioctl(m_fd, VIDIOC_G_INPUT, &nInput) < 0)
        return errno == ENODEV ? 0 : 1; // unplugged: certainly no signal
    v4l2_input input;
    std::memset(&input, 0, sizeof(input));
    input.index = uint32_t(nInput);
    if (Ioctl(m_fd, VIDIOC_ENUMINPUT, &input) < 0)
        return 1;
    return (input.status & (V4L2_IN_ST_NO_SIGNAL | V4L2_IN_ST_NO_POWER)) ? 0 : 1;
}

int CV4l2Controls::GetInputType() const
{
    int nInput = 0;
    v4l2_input input;
    std::memset(&input, 0, sizeof(input));
    if (m_fd < 0 || Ioctl(m_fd, VIDIOC_G_INPUT, &nInput) < 0)
        return INPUT_HDMI;
    input.index = uint32_t(nInput);
    if (Ioctl(m_fd, VIDIOC_ENUMINPUT, &input) < 0)
        return INPUT_HDMI;
    const char* pszName = reinterpret_cast<const char*>(input.name);
    const QString strName = QString::fromUtf8(pszName, int(strnlen(pszName, sizeof(input.name)))).toLower();
    if (strName.contains(QLatin1String("vga")))
        return INPUT_VGA;
    if (strName.contains(QLatin1String("component")) || strName.contains(QLatin1String("ypbpr")))
        return INPUT_COMPONENT;
    if (strName.contains(QLatin1String("composite")) || strName.contains(QLatin1String("cvbs")))
        return INPUT_CVBS;
    if (strName.contains(QLatin1String("s-video")) || strName.contains(QLatin1String("svideo")))
        return INPUT_SVIDEO;
    if (strName.contains(QLatin1String("sdi")))
        return INPUT_SDI;
    // Cameras and HDMI grabbers alike present a digital input.
    return INPUT_HDMI;
}
}
