// Emulated USB cameras for a process, preloaded with LD_PRELOAD. The calls a
// process makes on /dev/videoN and on /sys/class/video4linux are answered
// here the way a USB video class driver answers them, so the program's real
// device code (listing, formats, controls, capture through libavdevice) runs
// unchanged on a machine without cameras or kernel modules.
//
// VISTREL_V4L2EMU lists the cameras, separated by ';' (or '/', which
// survives CMake's lists), each
//   name|serial|MJPEG sizes|YUYV sizes|options
// with sizes as "1920x1080,1280x720"; empty size fields take a typical
// camera's list. Camera i owns /dev/video<2i> (capture) and /dev/video<2i+1>
// (a metadata node, which capture code must skip, as with real cameras).
// The options, separated by ',', are "unplugged" (plugged in later),
// "node=N" (capture node N rather than 2i) and "nousb" (no USB device behind
// it: neither serial number nor port in sysfs).
// VISTREL_V4L2EMU_UNPLUGGED may name a file holding the numbers of the
// cameras to unplug, VISTREL_V4L2EMU_NODES one of "camera node" lines that
// put cameras on other nodes; both are read every 200 ms, for trying the
// program by hand.
#include "v4l2emu.h"

extern "C"
{
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
}

#include <linux/videodev2.h>

#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace
{
// ---- the real functions ----

template <typename T> T Real(const char* pszName)
{
    return reinterpret_cast<T>(dlsym(RTLD_NEXT, pszName));
}

#define REAL(name) static const auto s_real = Real<decltype(&::name)>(#name)

// ---- configuration ----

struct SSize
{
    int nWidth;
    int nHeight;
};

struct SColour
{
    uint8_t y, u, v;
};

// Full-range colours, one per camera, far enough apart that a test can tell
// from one pixel which camera it sees.
const SColour g_aColours[] = {{76, 85, 255}, {150, 44, 21}, {29, 255, 107},
                              {226, 0, 149}, {179, 171, 0}, {105, 212, 234}};

const int g_anRates[] = {30, 25, 20, 15, 10, 5};

enum
{
    CTRL_BRIGHTNESS,
    CTRL_CONTRAST,
    CTRL_HUE,
    CTRL_SATURATION,
    CTRL_COUNT
};

struct SControlInfo
{
    uint32_t nId;
    const char* pszName;
    int nMin, nMax, nDefault;
};
// The ranges a typical USB camera reports.
const SControlInfo g_aControls[CTRL_COUNT] = {{V4L2_CID_BRIGHTNESS, "Brightness", -64, 64, 0},
                                              {V4L2_CID_CONTRAST, "Contrast", 0, 64, 32},
                                              {V4L2_CID_HUE, "Hue", -40, 40, 0},
                                              {V4L2_CID_SATURATION, "Saturation", 0, 128, 64}};

struct SCamera
{
    std::string strName;
    std::string strSerial;
    std::vector<SSize> vecMjpeg;
    std::vector<SSize> vecYuyv;
    SColour colour{};
    bool bPlugged = true;
    bool bUsb = true;
    // The capture node; the metadata node is the next one. The kernel hands
    // a camera plugged in again the first free number, not its old one.
    int nNode = 0;
    int nHomeNode = 0; // where VISTREL_V4L2EMU_NODES puts it when unlisted
    // Bumped by every unplug: descriptors of an older generation are dead.
    uint64_t nGeneration = 0;
    uint32_t nFourcc = V4L2_PIX_FMT_YUYV;
    SSize size{640, 480};
    int nFps = 30;
    int anControl[CTRL_COUNT] = {};
    int nStreamingFd = -1;
    std::atomic<long long> nDelivered{0};
};

// One open descriptor of a node; the descriptor itself is a memfd, which
// holds the capture buffers, so the caller's mmap of it is the real thing.
struct SOpenFile
{
    int nCamera = -1;
    bool bMeta = false;
    bool bNonBlock = false;
    uint64_t nGeneration = 0;
    size_t nBufCount = 0;
    size_t nBufStride = 0;
    uint32_t nSizeImage = 0;
    uint8_t* pMap = nullptr;
    std::vector<bool> vecQueued;
    std::deque<uint32_t> queue;
    bool bStreaming = false;
    int64_t nStartNs = 0;
    int64_t nIntervalNs = 0;
    int64_t nLastFrame = -1;
    std::shared_ptr<const std::vector<std::vector<uint8_t>>> pMjpeg;
};

// Never destroyed: other libraries' exit handlers may still close
// descriptors after this library's own destructors have run.
std::mutex& g_mutex = *new std::mutex;
std::vector<std::unique_ptr<SCamera>>& g_vecCameras = *new std::vector<std::unique_ptr<SCamera>>;
std::map<int, SOpenFile>& g_mapFiles = *new std::map<int, SOpenFile>;
std::string& g_strRoot = *new std::string; // the redirected sysfs folder
std::atomic<bool> g_bInitialised{false};

const char CLASS_PREFIX[] = "/sys/class/video4linux";

std::vector<SSize> ParseSizes(const std::string& strList, const std::vector<SSize>& vecDefault)
{
    std::vector<SSize> vecSizes;
    size_t nPos = 0;
    while (nPos < strList.size())
    {
        size_t nEnd = strList.find(',', nPos);
        if (nEnd == std::string::npos)
            nEnd = strList.size();
        int nWidth = 0, nHeight = 0;
        if (std::sscanf(strList.substr(nPos, nEnd - nPos).c_str(), "%dx%d", &nWidth, &nHeight) == 2 && nWidth > 0 &&
            nHeight > 0)
            vecSizes.push_back({nWidth, nHeight});
        nPos = nEnd + 1;
    }
    return vecSizes.empty() ? vecDefault : vecSizes;
}

std::vector<std::string> Split(const std::string& str, char c)
{
    std::vector<std::string> vecParts;
    size_t nPos = 0;
    for (;;)
    {
        const size_t nEnd = str.find(c, nPos);
        vecParts.push_back(str.substr(nPos, nEnd == std::string::npos ? std::string::npos : nEnd - nPos));
        if (nEnd == std::string::npos)
            return vecParts;
        nPos = nEnd + 1;
    }
}

// ---- the sysfs folder ----

void WriteFile(const std::string& strPath, const std::string& strText)
{
    if (FILE* pFile = std::fopen(strPath.c_str(), "w"))
    {
        std::fputs(strText.c_str(), pFile);
        std::fclose(pFile);
    }
}

void MakeDirs(const std::string& strPath)
{
    for (size_t nPos = 1; nPos <= strPath.size(); ++nPos)
        if (nPos == strPath.size() || strPath[nPos] == '/')
            ::mkdir(strPath.substr(0, nPos).c_str(), 0755);
}

void RemoveTree(const std::string& strPath)
{
    if (DIR* pDir = ::opendir(strPath.c_str()))
    {
        while (dirent* pEntry = ::readdir(pDir))
        {
            const std::string strName = pEntry->d_name;
            if (strName == "." || strName == "..")
                continue;
            std::string strChild = strPath;
            strChild += '/';
            strChild += strName;
            struct stat st;
            if (::lstat(strChild.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
                RemoveTree(strChild);
            else
                ::unlink(strChild.c_str());
        }
        ::closedir(pDir);
    }
    ::rmdir(strPath.c_str());
}

// The USB device of camera i sits on its own port, 1-<i+1>.
std::string UsbPort(int nCamera)
{
    return "1-" + std::to_string(nCamera + 1);
}

void AddSysfsNodes(int nCamera)
{
    const SCamera& camera = *g_vecCameras[size_t(nCamera)];
    const std::string strUsb = "/devices/pci0000:00/0000:00:14.0/usb1/" + UsbPort(nCamera);
    const std::string strInterface = strUsb + "/" + UsbPort(nCamera) + ":1.0";
    if (camera.bUsb)
    {
        MakeDirs(g_strRoot + strInterface);
        WriteFile(g_strRoot + strUsb + "/serial", camera.strSerial + "\n");
        WriteFile(g_strRoot + strUsb + "/product", camera.strName + "\n");
    }
    for (int nNode = camera.nNode; nNode <= camera.nNode + 1; ++nNode)
    {
        const std::string strNode = g_strRoot + "/class/video4linux/video" + std::to_string(nNode);
        MakeDirs(strNode);
        WriteFile(strNode + "/name", camera.strName + "\n");
        WriteFile(strNode + "/dev", "81:" + std::to_string(nNode) + "\n");
        WriteFile(strNode + "/index", nNode == camera.nNode ? "0\n" : "1\n");
        if (camera.bUsb)
            ::symlink(("../../.." + strInterface).c_str(), (strNode + "/device").c_str());
    }
}

void RemoveSysfsNodes(int nCamera)
{
    const int nFirst = g_vecCameras[size_t(nCamera)]->nNode;
    for (int nNode = nFirst; nNode <= nFirst + 1; ++nNode)
        RemoveTree(g_strRoot + "/class/video4linux/video" + std::to_string(nNode));
}

// Under the lock: whether camera nCamera's two nodes would be nNode and
// nNode + 1 without meeting those of another plugged camera.
bool NodesFree(int nCamera, int nNode)
{
    for (size_t i = 0; i < g_vecCameras.size(); ++i)
    {
        const SCamera& other = *g_vecCameras[i];
        if (int(i) != nCamera && other.bPlugged && std::abs(other.nNode - nNode) <= 1)
            return false;
    }
    return true;
}

// "unplugged", "node=N" and "nousb", separated by ','.
void ApplyOptions(const std::string& strOptions, SCamera* pCamera)
{
    for (const std::string& strOption : Split(strOptions, ','))
    {
        int nNode = -1;
        if (strOption == "unplugged")
            pCamera->bPlugged = false;
        else if (strOption == "nousb")
            pCamera->bUsb = false;
        else if (std::sscanf(strOption.c_str(), "node=%d", &nNode) == 1 && nNode >= 0)
            pCamera->nNode = pCamera->nHomeNode = nNode;
    }
}

void ApplyControlFiles(const char* pszUnplugged, const char* pszNodes);

void Initialise()
{
    const char* pszConfig = std::getenv("VISTREL_V4L2EMU");
    const std::vector<SSize> vecMjpeg = {{1920, 1080}, {1600, 1200}, {1280, 720}, {800, 600}, {640, 480}, {320, 240}};
    const std::vector<SSize> vecYuyv = {{1280, 720}, {640, 480}, {320, 240}};
    if (pszConfig && *pszConfig)
    {
        std::string strConfig = pszConfig;
        std::replace(strConfig.begin(), strConfig.end(), '/', ';');
        for (const std::string& strEntry : Split(strConfig, ';'))
        {
            if (strEntry.empty())
                continue;
            std::vector<std::string> vecFields = Split(strEntry, '|');
            vecFields.resize(5);
            auto pCamera = std::make_unique<SCamera>();
            pCamera->nNode = pCamera->nHomeNode = 2 * int(g_vecCameras.size());
            ApplyOptions(vecFields[4], pCamera.get());
            pCamera->strName = vecFields[0].empty() ? "USB Camera" : vecFields[0];
            pCamera->strSerial = vecFields[1];
            pCamera->vecMjpeg = ParseSizes(vecFields[2], vecMjpeg);
            pCamera->vecYuyv = ParseSizes(vecFields[3], vecYuyv);
            pCamera->colour = g_aColours[g_vecCameras.size() % (sizeof(g_aColours) / sizeof(g_aColours[0]))];
            pCamera->size = pCamera->vecYuyv.front();
            for (int i = 0; i < CTRL_COUNT; ++i)
                pCamera->anControl[i] = g_aControls[i].nDefault;
            g_vecCameras.push_back(std::move(pCamera));
        }
    }
    const char* pszTmp = std::getenv("TMPDIR");
    std::string strTemplate = std::string(pszTmp && *pszTmp ? pszTmp : "/tmp") + "/v4l2emu-XXXXXX";
    std::vector<char> vecTemplate(strTemplate.begin(), strTemplate.end());
    vecTemplate.push_back('\0');
    if (::mkdtemp(vecTemplate.data()))
        g_strRoot = vecTemplate.data();
    MakeDirs(g_strRoot + "/class/video4linux");
    // Two cameras given one node: the later one waits, unplugged.
    std::vector<bool> vecWanted;
    for (const auto& pCamera : g_vecCameras)
    {
        vecWanted.push_back(pCamera->bPlugged);
        pCamera->bPlugged = false;
    }
    for (size_t i = 0; i < g_vecCameras.size(); ++i)
    {
        SCamera& camera = *g_vecCameras[i];
        camera.bPlugged = vecWanted[i] && NodesFree(int(i), camera.nNode);
        if (camera.bPlugged)
            AddSysfsNodes(int(i));
    }
    g_bInitialised = true;

    const char* pszUnplug = std::getenv("VISTREL_V4L2EMU_UNPLUGGED");
    const char* pszNodes = std::getenv("VISTREL_V4L2EMU_NODES");
    if (pszUnplug || pszNodes)
    {
        const std::string strUnplug = pszUnplug ? pszUnplug : "";
        const std::string strNodes = pszNodes ? pszNodes : "";
        std::thread([strUnplug, strNodes] {
            for (;;)
            {
                ApplyControlFiles(strUnplug.empty() ? nullptr : strUnplug.c_str(),
                                  strNodes.empty() ? nullptr : strNodes.c_str());
                std::this_thread::sleep_for(std::chrono::milliseconds(200));
            }
        }).detach();
    }
}

struct SLoader
{
    SLoader()
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        Initialise();
    }
    ~SLoader()
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        if (!g_strRoot.empty())
            RemoveTree(g_strRoot);
        g_bInitialised = false;
    }
} g_loader;

// Under the lock.
void UnplugLocked(int nCamera)
{
    SCamera& camera = *g_vecCameras[size_t(nCamera)];
    camera.bPlugged = false;
    ++camera.nGeneration;
    camera.nStreamingFd = -1;
    RemoveSysfsNodes(nCamera);
}

// Fails when another plugged camera holds the node, which the kernel never
// gives to two devices.
bool SetPlugged(int nCamera, bool bPlugged)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    if (nCamera < 0 || nCamera >= int(g_vecCameras.size()))
        return false;
    SCamera& camera = *g_vecCameras[size_t(nCamera)];
    if (camera.bPlugged == bPlugged)
        return true;
    if (!bPlugged)
    {
        UnplugLocked(nCamera);
        return true;
    }
    if (!NodesFree(nCamera, camera.nNode))
        return false;
    camera.bPlugged = true;
    AddSysfsNodes(nCamera);
    return true;
}

// A plugged camera goes and comes back there at once, as after a short
// unplug: its open descriptors are dead.
bool SetNode(int nCamera, int nNode)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    if (nCamera < 0 || nCamera >= int(g_vecCameras.size()) || nNode < 0)
        return false;
    SCamera& camera = *g_vecCameras[size_t(nCamera)];
    if (camera.nNode == nNode)
        return true;
    if (!NodesFree(nCamera, nNode))
        return false;
    const bool bWasPlugged = camera.bPlugged;
    if (bWasPlugged)
        UnplugLocked(nCamera);
    camera.nNode = nNode;
    if (bWasPlugged)
    {
        camera.bPlugged = true;
        AddSysfsNodes(nCamera);
    }
    return true;
}

// The cameras a file names by number; every camera unnamed when the file
// cannot be read.
std::vector<bool> ReadUnplugFile(const char* pszPath, size_t nCameras)
{
    std::vector<bool> vecUnplugged(nCameras, false);
    if (FILE* pFile = std::fopen(pszPath, "r"))
    {
        int nCamera = 0;
        while (std::fscanf(pFile, "%d", &nCamera) == 1)
            if (nCamera >= 0 && nCamera < int(nCameras))
                vecUnplugged[size_t(nCamera)] = true;
        std::fclose(pFile);
    }
    return vecUnplugged;
}

// "camera node" lines; a camera not listed stays on its configured node.
std::vector<int> ReadNodesFile(const char* pszPath)
{
    std::vector<int> vecNodes;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        for (const auto& pCamera : g_vecCameras)
            vecNodes.push_back(pCamera->nHomeNode);
    }
    if (FILE* pFile = std::fopen(pszPath, "r"))
    {
        int nCamera = 0, nNode = 0;
        while (std::fscanf(pFile, "%d %d", &nCamera, &nNode) == 2)
            if (nCamera >= 0 && nCamera < int(vecNodes.size()) && nNode >= 0)
                vecNodes[size_t(nCamera)] = nNode;
        std::fclose(pFile);
    }
    return vecNodes;
}

// Unplugs first and plugs in last, so that a camera can take the node of
// one unplugged in the same round. A move that collides with another
// camera waits for a later round.
void ApplyControlFiles(const char* pszUnplugged, const char* pszNodes)
{
    const size_t nCameras = size_t(v4l2emu_camera_count());
    const std::vector<bool> vecUnplugged = pszUnplugged ? ReadUnplugFile(pszUnplugged, nCameras) : std::vector<bool>();
    for (size_t i = 0; i < vecUnplugged.size(); ++i)
        if (vecUnplugged[i])
            SetPlugged(int(i), false);
    if (pszNodes)
    {
        const std::vector<int> vecNodes = ReadNodesFile(pszNodes);
        for (size_t i = 0; i < vecNodes.size(); ++i)
            SetNode(int(i), vecNodes[i]);
    }
    for (size_t i = 0; i < vecUnplugged.size(); ++i)
        if (!vecUnplugged[i])
            SetPlugged(int(i), true);
}

// ---- paths ----

// Node number of "/dev/videoN", or -1.
int DevNode(const char* pszPath)
{
    if (!pszPath || std::strncmp(pszPath, "/dev/video", 10) != 0 || !pszPath[10])
        return -1;
    int nNode = 0;
    for (const char* p = pszPath + 10; *p; ++p)
    {
        if (*p < '0' || *p > '9')
            return -1;
        nNode = nNode * 10 + (*p - '0');
    }
    return nNode;
}

// The path a path-taking call really uses: the class folder is redirected.
const char* MapPath(const char* pszPath, std::string& strStorage)
{
    const size_t nPrefix = sizeof(CLASS_PREFIX) - 1;
    if (!pszPath || !g_bInitialised || g_strRoot.empty() || std::strncmp(pszPath, CLASS_PREFIX, nPrefix) != 0 ||
        (pszPath[nPrefix] != '\0' && pszPath[nPrefix] != '/'))
        return pszPath;
    strStorage = g_strRoot + (pszPath + 4); // drop "/sys"
    return strStorage.c_str();
}

// Under the lock: the camera behind a present node, or -1.
int PresentCamera(int nNode)
{
    for (size_t i = 0; i < g_vecCameras.size(); ++i)
    {
        const SCamera& camera = *g_vecCameras[i];
        if (camera.bPlugged && (nNode == camera.nNode || nNode == camera.nNode + 1))
            return int(i);
    }
    return -1;
}

int OpenNode(int nNode, int nFlags)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    const int nCamera = PresentCamera(nNode);
    if (nCamera < 0)
    {
        errno = ENOENT;
        return -1;
    }
    const int fd = ::memfd_create("v4l2emu", (nFlags & O_CLOEXEC) ? MFD_CLOEXEC : 0);
    if (fd < 0)
        return -1;
    SOpenFile& file = g_mapFiles[fd];
    file = SOpenFile();
    file.nCamera = nCamera;
    file.bMeta = nNode != g_vecCameras[size_t(nCamera)]->nNode;
    file.bNonBlock = (nFlags & O_NONBLOCK) != 0;
    file.nGeneration = g_vecCameras[size_t(nCamera)]->nGeneration;
    return fd;
}

int StatNode(int nNode, struct stat* pStat)
{
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        if (PresentCamera(nNode) < 0)
        {
            errno = ENOENT;
            return -1;
        }
    }
    std::memset(pStat, 0, sizeof(*pStat));
    pStat->st_mode = S_IFCHR | 0660;
    pStat->st_rdev = makedev(81, unsigned(nNode));
    pStat->st_nlink = 1;
    return 0;
}

// ---- pictures ----

int64_t NowNs()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return int64_t(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

// The picture: the camera's colour, with a white bar moving along the
// bottom quarter once a second. The top three quarters stay plain, so a
// test can check the colour anywhere there.
int BarLeft(int64_t nFrame, int nWidth)
{
    return int((nFrame % 30) * nWidth / 30);
}

bool InBar(int x, int nLeft, int nWidth)
{
    const int nBar = nWidth / 8;
    return ((x - nLeft + nWidth) % nWidth) < nBar;
}

void DrawYuyv(uint8_t* pDst, int nWidth, int nHeight, const SColour& colour, int64_t nFrame)
{
    const size_t nLine = size_t(nWidth) * 2;
    std::vector<uint8_t> vecPlain(nLine), vecBar(nLine);
    const int nLeft = BarLeft(nFrame, nWidth);
    for (int x = 0; x < nWidth; x += 2)
    {
        uint8_t* p = &vecPlain[size_t(x) * 2];
        p[0] = p[2] = colour.y;
        p[1] = colour.u;
        p[3] = colour.v;
        uint8_t* q = &vecBar[size_t(x) * 2];
        const bool bBar = InBar(x, nLeft, nWidth);
        q[0] = q[2] = bBar ? 235 : colour.y;
        q[1] = bBar ? 128 : colour.u;
        q[3] = bBar ? 128 : colour.v;
    }
    for (int y = 0; y < nHeight; ++y)
        std::memcpy(pDst + size_t(y) * nLine, y < nHeight * 3 / 4 ? vecPlain.data() : vecBar.data(), nLine);
}

using FrameCycle = std::vector<std::vector<uint8_t>>;

// One second of MJPEG frames, encoded once per camera and size: encoding
// on every dequeue would cost more than the decoding being tested.
std::shared_ptr<const FrameCycle> EncodeCycle(const SColour& colour, int nWidth, int nHeight)
{
    auto pCycle = std::make_shared<FrameCycle>();
    const AVCodec* pCodec = avcodec_find_encoder(AV_CODEC_ID_MJPEG);
    AVCodecContext* pContext = pCodec ? avcodec_alloc_context3(pCodec) : nullptr;
    AVFrame* pFrame = av_frame_alloc();
    AVPacket* pPacket = av_packet_alloc();
    if (!pContext || !pFrame || !pPacket)
        return pCycle;
    pContext->width = nWidth;
    pContext->height = nHeight;
    pContext->pix_fmt = AV_PIX_FMT_YUVJ422P;
    pContext->time_base = {1, 30};
    pContext->flags |= AV_CODEC_FLAG_QSCALE;
    pContext->global_quality = FF_QP2LAMBDA * 3;
    pFrame->format = pContext->pix_fmt;
    pFrame->width = nWidth;
    pFrame->height = nHeight;
    if (avcodec_open2(pContext, pCodec, nullptr) == 0 && av_frame_get_buffer(pFrame, 0) == 0)
    {
        for (int64_t nFrame = 0; nFrame < 30; ++nFrame)
        {
            av_frame_make_writable(pFrame);
            const int nLeft = BarLeft(nFrame, nWidth);
            for (int y = 0; y < nHeight; ++y)
            {
                const bool bBarRows = y >= nHeight * 3 / 4;
                uint8_t* pY = pFrame->data[0] + size_t(y) * size_t(pFrame->linesize[0]);
                uint8_t* pU = pFrame->data[1] + size_t(y) * size_t(pFrame->linesize[1]);
                uint8_t* pV = pFrame->data[2] + size_t(y) * size_t(pFrame->linesize[2]);
                for (int x = 0; x < nWidth; ++x)
                {
                    const bool bBar = bBarRows && InBar(x & ~1, nLeft, nWidth);
                    pY[x] = bBar ? 255 : colour.y;
                    if (!(x & 1))
                    {
                        pU[x / 2] = bBar ? 128 : colour.u;
                        pV[x / 2] = bBar ? 128 : colour.v;
                    }
                }
            }
            pFrame->pts = nFrame;
            pFrame->quality = pContext->global_quality;
            if (avcodec_send_frame(pContext, pFrame) < 0)
                break;
            while (avcodec_receive_packet(pContext, pPacket) == 0)
            {
                pCycle->emplace_back(pPacket->data, pPacket->data + pPacket->size);
                av_packet_unref(pPacket);
            }
        }
    }
    av_packet_free(&pPacket);
    av_frame_free(&pFrame);
    avcodec_free_context(&pContext);
    return pCycle;
}

std::shared_ptr<const FrameCycle> GetCycle(int nCamera, const SColour& colour, int nWidth, int nHeight)
{
    static std::mutex s_mutex;
    static std::map<std::tuple<int, int, int>, std::shared_ptr<const FrameCycle>> s_cache;
    std::lock_guard<std::mutex> lock(s_mutex);
    auto& pCycle = s_cache[std::make_tuple(nCamera, nWidth, nHeight)];
    if (!pCycle)
        pCycle = EncodeCycle(colour, nWidth, nHeight);
    return pCycle;
}

// ---- the driver ----

int MaxFps(uint32_t nFourcc, const SSize& size)
{
    if (nFourcc == V4L2_PIX_FMT_MJPEG)
        return 30;
    // Uncompressed pictures are limited by the USB bandwidth.
    const int nArea = size.nWidth * size.nHeight;
    return nArea <= 640 * 480 ? 30 : nArea <= 1280 * 720 ? 10 : 5;
}

const std::vector<SSize>* SizesOf(const SCamera& camera, uint32_t nFourcc)
{
    if (nFourcc == V4L2_PIX_FMT_YUYV)
        return &camera.vecYuyv;
    if (nFourcc == V4L2_PIX_FMT_MJPEG)
        return &camera.vecMjpeg;
    return nullptr;
}

// Like the driver: the offered size whose area differs least from the
// asked one.
SSize NearestSize(const std::vector<SSize>& vecSizes, int nWidth, int nHeight)
{
    SSize best = vecSizes.front();
    long long nBest = -1;
    for (const SSize& size : vecSizes)
    {
        const long long nCommon = (long long)std::min(size.nWidth, nWidth) * std::min(size.nHeight, nHeight);
        const long long nDiff = (long long)size.nWidth * size.nHeight + (long long)nWidth * nHeight - 2 * nCommon;
        if (nBest < 0 || nDiff < nBest)
        {
            nBest = nDiff;
            best = size;
        }
    }
    return best;
}

int NearestFps(int nMax, double fWanted)
{
    int nBest = 0;
    for (int nRate : g_anRates)
        if (nRate <= nMax && (!nBest || std::abs(nRate - fWanted) < std::abs(nBest - fWanted)))
            nBest = nRate;
    return nBest ? nBest : 5;
}

void FillFormat(const SCamera& camera, v4l2_format* pFormat, uint32_t nFourcc, const SSize& size)
{
    std::memset(&pFormat->fmt.pix, 0, sizeof(pFormat->fmt.pix));
    v4l2_pix_format& pix = pFormat->fmt.pix;
    pix.width = uint32_t(size.nWidth);
    pix.height = uint32_t(size.nHeight);
    pix.pixelformat = nFourcc;
    pix.field = V4L2_FIELD_NONE;
    pix.bytesperline = nFourcc == V4L2_PIX_FMT_YUYV ? uint32_t(size.nWidth * 2) : 0;
    pix.sizeimage = uint32_t(size.nWidth * size.nHeight * 2);
    pix.colorspace = V4L2_COLORSPACE_SRGB;
    (void)camera;
}

int Fail(int nErrno)
{
    errno = nErrno;
    return -1;
}

void ReleaseBuffers(SOpenFile& file)
{
    if (file.pMap)
        ::munmap(file.pMap, file.nBufCount * file.nBufStride);
    file.pMap = nullptr;
    file.nBufCount = 0;
    file.vecQueued.clear();
    file.queue.clear();
}

void FillBuffer(const SOpenFile& file, uint32_t nIndex, v4l2_buffer* pBuf)
{
    const uint32_t nBytes = pBuf->bytesused;
    const timeval timestamp = pBuf->timestamp;
    const uint32_t nSequence = pBuf->sequence;
    std::memset(pBuf, 0, sizeof(*pBuf));
    pBuf->type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    pBuf->memory = V4L2_MEMORY_MMAP;
    pBuf->index = nIndex;
    pBuf->length = file.nSizeImage;
    pBuf->m.offset = uint32_t(nIndex * file.nBufStride);
    pBuf->field = V4L2_FIELD_NONE;
    pBuf->flags =
        V4L2_BUF_FLAG_MAPPED | V4L2_BUF_FLAG_TIMESTAMP_MONOTONIC | (file.vecQueued[nIndex] ? V4L2_BUF_FLAG_QUEUED : 0);
    pBuf->bytesused = nBytes;
    pBuf->timestamp = timestamp;
    pBuf->sequence = nSequence;
}

int DoReqBufs(SCamera& camera, int fd, SOpenFile& file, v4l2_requestbuffers* pReq)
{
    if (pReq->type != V4L2_BUF_TYPE_VIDEO_CAPTURE || pReq->memory != V4L2_MEMORY_MMAP)
        return Fail(EINVAL);
    if (camera.nStreamingFd >= 0 && camera.nStreamingFd != fd)
        return Fail(EBUSY);
    file.bStreaming = false;
    ReleaseBuffers(file);
    camera.nStreamingFd = -1;
    if (pReq->count == 0)
        return 0;
    const size_t nPage = size_t(sysconf(_SC_PAGESIZE));
    file.nSizeImage = uint32_t(camera.size.nWidth * camera.size.nHeight * 2);
    file.nBufStride = (file.nSizeImage + nPage - 1) / nPage * nPage;
    file.nBufCount = std::min<size_t>(pReq->count, 8);
    if (::ftruncate(fd, off_t(file.nBufCount * file.nBufStride)) < 0)
        return Fail(ENOMEM);
    void* pMap = ::mmap(nullptr, file.nBufCount * file.nBufStride, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (pMap == MAP_FAILED)
    {
        file.nBufCount = 0;
        return Fail(ENOMEM);
    }
    file.pMap = static_cast<uint8_t*>(pMap);
    file.vecQueued.assign(file.nBufCount, false);
    camera.nStreamingFd = fd; // the buffers' owner, as the driver keeps it
    pReq->count = uint32_t(file.nBufCount);
    pReq->capabilities = V4L2_BUF_CAP_SUPPORTS_MMAP;
    return 0;
}

// Under the lock. 0 with a frame in *pBuf; -1 with EAGAIN when none is due
// yet (*pnWaitNs says how long until one is).
int DoDqBuf(SCamera& camera, int nCamera, SOpenFile& file, v4l2_buffer* pBuf, int64_t* pnWaitNs)
{
    *pnWaitNs = 0;
    if (!file.bStreaming)
        return Fail(EINVAL);
    if (file.queue.empty())
        return Fail(EAGAIN);
    const int64_t nNow = NowNs();
    const int64_t nLatest = (nNow - file.nStartNs) / file.nIntervalNs - 1;
    if (nLatest <= file.nLastFrame)
    {
        *pnWaitNs = file.nStartNs + (file.nLastFrame + 2) * file.nIntervalNs - nNow;
        return Fail(EAGAIN);
    }
    // Frames nobody dequeued in time are dropped, as a camera drops them.
    file.nLastFrame = nLatest;
    const uint32_t nIndex = file.queue.front();
    file.queue.pop_front();
    file.vecQueued[nIndex] = false;
    uint8_t* pData = file.pMap + nIndex * file.nBufStride;
    uint32_t nBytes = file.nSizeImage;
    if (camera.nFourcc == V4L2_PIX_FMT_MJPEG && file.pMjpeg && !file.pMjpeg->empty())
    {
        const std::vector<uint8_t>& vecJpeg = (*file.pMjpeg)[size_t(nLatest) % file.pMjpeg->size()];
        nBytes = uint32_t(std::min<size_t>(vecJpeg.size(), file.nSizeImage));
        std::memcpy(pData, vecJpeg.data(), nBytes);
    }
    else
        DrawYuyv(pData, camera.size.nWidth, camera.size.nHeight, camera.colour, nLatest);
    const int64_t nStamp = file.nStartNs + (nLatest + 1) * file.nIntervalNs;
    pBuf->bytesused = nBytes;
    pBuf->timestamp.tv_sec = nStamp / 1000000000;
    pBuf->timestamp.tv_usec = (nStamp % 1000000000) / 1000;
    pBuf->sequence = uint32_t(nLatest);
    FillBuffer(file, nIndex, pBuf);
    pBuf->flags |= V4L2_BUF_FLAG_DONE;
    ++g_vecCameras[size_t(nCamera)]->nDelivered;
    return 0;
}

int DoStreamOn(SCamera& camera, int nCamera, int fd, SOpenFile& file)
{
    if (!file.nBufCount || camera.nStreamingFd != fd)
        return Fail(EINVAL);
    if (file.bStreaming)
        return 0;
    if (camera.nFourcc == V4L2_PIX_FMT_MJPEG)
    {
        // Encoding may take a while; the cache has its own lock.
        const SColour colour = camera.colour;
        const SSize size = camera.size;
        g_mutex.unlock();
        auto pCycle = GetCycle(nCamera, colour, size.nWidth, size.nHeight);
        g_mutex.lock();
        file.pMjpeg = pCycle;
    }
    file.bStreaming = true;
    file.nStartNs = NowNs();
    file.nIntervalNs = 1000000000LL / camera.nFps;
    file.nLastFrame = -1;
    return 0;
}

int QueryControl(v4l2_queryctrl* pQuery)
{
    const bool bNext = (pQuery->id & V4L2_CTRL_FLAG_NEXT_CTRL) != 0;
    const uint32_t nId = pQuery->id & ~(V4L2_CTRL_FLAG_NEXT_CTRL | V4L2_CTRL_FLAG_NEXT_COMPOUND);
    for (const SControlInfo& info : g_aControls)
    {
        if (bNext ? info.nId <= nId : info.nId != nId)
            continue;
        std::memset(pQuery, 0, sizeof(*pQuery));
        pQuery->id = info.nId;
        pQuery->type = V4L2_CTRL_TYPE_INTEGER;
        std::snprintf(reinterpret_cast<char*>(pQuery->name), sizeof(pQuery->name), "%s", info.pszName);
        pQuery->minimum = info.nMin;
        pQuery->maximum = info.nMax;
        pQuery->step = 1;
        pQuery->default_value = info.nDefault;
        return 0;
    }
    return Fail(EINVAL);
}

int ControlIndex(uint32_t nId)
{
    for (int i = 0; i < CTRL_COUNT; ++i)
        if (g_aControls[i].nId == nId)
            return i;
    return -1;
}

int DoQueryCap(const SCamera& camera, int nCamera, bool bMeta, v4l2_capability* pCap)
{
    std::memset(pCap, 0, sizeof(*pCap));
    std::snprintf(reinterpret_cast<char*>(pCap->driver), sizeof(pCap->driver), "uvcvideo");
    std::snprintf(reinterpret_cast<char*>(pCap->card), sizeof(pCap->card), "%s", camera.strName.c_str());
    if (camera.bUsb)
        std::snprintf(reinterpret_cast<char*>(pCap->bus_info), sizeof(pCap->bus_info), "usb-0000:00:14.0-%d",
                      nCamera + 1);
    else
        std::snprintf(reinterpret_cast<char*>(pCap->bus_info), sizeof(pCap->bus_info), "platform:v4l2emu-%d", nCamera);
    pCap->version = 0x060100;
    pCap->capabilities = V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_META_CAPTURE | V4L2_CAP_STREAMING | V4L2_CAP_EXT_PIX_FORMAT |
                         V4L2_CAP_DEVICE_CAPS;
    pCap->device_caps = bMeta ? (V4L2_CAP_META_CAPTURE | V4L2_CAP_STREAMING | V4L2_CAP_EXT_PIX_FORMAT)
                              : (V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_STREAMING | V4L2_CAP_EXT_PIX_FORMAT);
    return 0;
}

int DoSetFormat(SCamera& camera, int fd, v4l2_format* pFormat, bool bTry)
{
    if (pFormat->type != V4L2_BUF_TYPE_VIDEO_CAPTURE)
        return Fail(EINVAL);
    uint32_t nFourcc = pFormat->fmt.pix.pixelformat;
    if (!SizesOf(camera, nFourcc))
        nFourcc = V4L2_PIX_FMT_YUYV; // the driver substitutes a format it has
    const SSize size =
        NearestSize(*SizesOf(camera, nFourcc), int(pFormat->fmt.pix.width), int(pFormat->fmt.pix.height));
    FillFormat(camera, pFormat, nFourcc, size);
    if (bTry)
        return 0;
    if (camera.nStreamingFd >= 0 && camera.nStreamingFd != fd)
        return Fail(EBUSY);
    if (camera.nStreamingFd == fd && g_mapFiles[fd].nBufCount)
        return Fail(EBUSY);
    camera.nFourcc = nFourcc;
    camera.size = size;
    camera.nFps = std::min(camera.nFps, MaxFps(nFourcc, size));
    return 0;
}

int DoParm(SCamera& camera, v4l2_streamparm* pParm, bool bSet)
{
    if (pParm->type != V4L2_BUF_TYPE_VIDEO_CAPTURE)
        return Fail(EINVAL);
    if (bSet)
    {
        const v4l2_fract& tpf = pParm->parm.capture.timeperframe;
        const double fWanted = tpf.numerator && tpf.denominator ? double(tpf.denominator) / tpf.numerator : 30.0;
        camera.nFps = NearestFps(MaxFps(camera.nFourcc, camera.size), fWanted);
    }
    std::memset(&pParm->parm, 0, sizeof(pParm->parm));
    pParm->parm.capture.capability = V4L2_CAP_TIMEPERFRAME;
    pParm->parm.capture.timeperframe = {1, uint32_t(camera.nFps)};
    pParm->parm.capture.readbuffers = 0;
    return 0;
}

int DoEnumFormat(v4l2_fmtdesc* pDesc)
{
    if (pDesc->type != V4L2_BUF_TYPE_VIDEO_CAPTURE || pDesc->index > 1)
        return Fail(EINVAL);
    const uint32_t nIndex = pDesc->index;
    std::memset(pDesc, 0, sizeof(*pDesc));
    pDesc->index = nIndex;
    pDesc->type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    if (nIndex == 0)
    {
        pDesc->pixelformat = V4L2_PIX_FMT_YUYV;
        std::snprintf(reinterpret_cast<char*>(pDesc->description), sizeof(pDesc->description), "YUYV 4:2:2");
    }
    else
    {
        pDesc->pixelformat = V4L2_PIX_FMT_MJPEG;
        pDesc->flags = V4L2_FMT_FLAG_COMPRESSED;
        std::snprintf(reinterpret_cast<char*>(pDesc->description), sizeof(pDesc->description), "Motion-JPEG");
    }
    return 0;
}

int DoEnumSizes(const SCamera& camera, v4l2_frmsizeenum* pSize)
{
    const std::vector<SSize>* pSizes = SizesOf(camera, pSize->pixel_format);
    if (!pSizes || pSize->index >= pSizes->size())
        return Fail(EINVAL);
    pSize->type = V4L2_FRMSIZE_TYPE_DISCRETE;
    pSize->discrete.width = uint32_t((*pSizes)[pSize->index].nWidth);
    pSize->discrete.height = uint32_t((*pSizes)[pSize->index].nHeight);
    return 0;
}

int DoEnumIntervals(const SCamera& camera, v4l2_frmivalenum* pInterval)
{
    const std::vector<SSize>* pSizes = SizesOf(camera, pInterval->pixel_format);
    if (!pSizes)
        return Fail(EINVAL);
    bool bOffered = false;
    for (const SSize& size : *pSizes)
        bOffered |= size.nWidth == int(pInterval->width) && size.nHeight == int(pInterval->height);
    if (!bOffered)
        return Fail(EINVAL);
    const int nMax = MaxFps(pInterval->pixel_format, {int(pInterval->width), int(pInterval->height)});
    uint32_t nIndex = 0;
    for (int nRate : g_anRates)
    {
        if (nRate > nMax)
            continue;
        if (nIndex++ == pInterval->index)
        {
            pInterval->type = V4L2_FRMIVAL_TYPE_DISCRETE;
            pInterval->discrete = {1, uint32_t(nRate)};
            return 0;
        }
    }
    return Fail(EINVAL);
}

int DoInput(unsigned long nRequest, void* pArg)
{
    switch (nRequest)
    {
    case VIDIOC_G_INPUT:
        *static_cast<int*>(pArg) = 0;
        return 0;
    case VIDIOC_S_INPUT:
        return *static_cast<int*>(pArg) == 0 ? 0 : Fail(EINVAL);
    default: // VIDIOC_ENUMINPUT
    {
        v4l2_input* pInput = static_cast<v4l2_input*>(pArg);
        if (pInput->index != 0)
            return Fail(EINVAL);
        std::memset(pInput, 0, sizeof(*pInput));
        std::snprintf(reinterpret_cast<char*>(pInput->name), sizeof(pInput->name), "Camera 1");
        pInput->type = V4L2_INPUT_TYPE_CAMERA;
        return 0;
    }
    }
}

// Under the lock; fd is one of ours.
int HandleIoctl(int fd, unsigned long nRequest, void* pArg, int64_t* pnWaitNs)
{
    SOpenFile& file = g_mapFiles[fd];
    SCamera& camera = *g_vecCameras[size_t(file.nCamera)];
    if (!camera.bPlugged || camera.nGeneration != file.nGeneration)
        return Fail(ENODEV);
    if (nRequest == VIDIOC_QUERYCAP)
        return DoQueryCap(camera, file.nCamera, file.bMeta, static_cast<v4l2_capability*>(pArg));
    if (file.bMeta)
        return Fail(ENOTTY); // a metadata node: nothing a capture program uses
    switch (nRequest)
    {
    case VIDIOC_ENUM_FMT:
        return DoEnumFormat(static_cast<v4l2_fmtdesc*>(pArg));
    case VIDIOC_ENUM_FRAMESIZES:
        return DoEnumSizes(camera, static_cast<v4l2_frmsizeenum*>(pArg));
    case VIDIOC_ENUM_FRAMEINTERVALS:
        return DoEnumIntervals(camera, static_cast<v4l2_frmivalenum*>(pArg));
    case VIDIOC_G_FMT:
    {
        v4l2_format* pFormat = static_cast<v4l2_format*>(pArg);
        if (pFormat->type != V4L2_BUF_TYPE_VIDEO_CAPTURE)
            return Fail(EINVAL);
        FillFormat(camera, pFormat, camera.nFourcc, camera.size);
        return 0;
    }
    case VIDIOC_S_FMT:
    case VIDIOC_TRY_FMT:
        return DoSetFormat(camera, fd, static_cast<v4l2_format*>(pArg), nRequest == VIDIOC_TRY_FMT);
    case VIDIOC_G_PARM:
    case VIDIOC_S_PARM:
        return DoParm(camera, static_cast<v4l2_streamparm*>(pArg), nRequest == VIDIOC_S_PARM);
    case VIDIOC_REQBUFS:
        return DoReqBufs(camera, fd, file, static_cast<v4l2_requestbuffers*>(pArg));
    case VIDIOC_QUERYBUF:
    case VIDIOC_QBUF:
    {
        v4l2_buffer* pBuf = static_cast<v4l2_buffer*>(pArg);
        if (pBuf->type != V4L2_BUF_TYPE_VIDEO_CAPTURE || pBuf->index >= file.nBufCount)
            return Fail(EINVAL);
        if (nRequest == VIDIOC_QBUF)
        {
            if (file.vecQueued[pBuf->index])
                return Fail(EINVAL);
            file.vecQueued[pBuf->index] = true;
            file.queue.push_back(pBuf->index);
        }
        pBuf->bytesused = 0;
        pBuf->sequence = 0;
        pBuf->timestamp = {0, 0};
        FillBuffer(file, pBuf->index, pBuf);
        return 0;
    }
    case VIDIOC_DQBUF:
        return DoDqBuf(camera, file.nCamera, file, static_cast<v4l2_buffer*>(pArg), pnWaitNs);
    case VIDIOC_STREAMON:
        return DoStreamOn(camera, file.nCamera, fd, file);
    case VIDIOC_STREAMOFF:
        file.bStreaming = false;
        file.queue.clear();
        file.vecQueued.assign(file.nBufCount, false);
        return 0;
    case VIDIOC_QUERYCTRL:
        return QueryControl(static_cast<v4l2_queryctrl*>(pArg));
    case VIDIOC_G_CTRL:
    case VIDIOC_S_CTRL:
    {
        v4l2_control* pControl = static_cast<v4l2_control*>(pArg);
        const int nIndex = ControlIndex(pControl->id);
        if (nIndex < 0)
            return Fail(EINVAL);
        if (nRequest == VIDIOC_G_CTRL)
        {
            pControl->value = camera.anControl[nIndex];
            return 0;
        }
        if (pControl->value < g_aControls[nIndex].nMin || pControl->value > g_aControls[nIndex].nMax)
            return Fail(ERANGE);
        camera.anControl[nIndex] = pControl->value;
        return 0;
    }
    case VIDIOC_ENUMINPUT:
    case VIDIOC_G_INPUT:
    case VIDIOC_S_INPUT:
        return DoInput(nRequest, pArg);
    case VIDIOC_ENUMSTD:
    case VIDIOC_G_STD:
    case VIDIOC_S_STD:
    case VIDIOC_QUERYSTD:
        return Fail(ENODATA); // cameras have no analogue TV standard
    default:
        return Fail(ENOTTY);
    }
}

bool IsOurs(int fd)
{
    if (!g_bInitialised)
        return false;
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_mapFiles.count(fd) != 0;
}

int OpenPath(const char* pszPath, int nFlags, mode_t nMode, int (*pfnReal)(const char*, int, ...))
{
    const int nNode = DevNode(pszPath);
    if (nNode >= 0 && g_bInitialised)
        return OpenNode(nNode, nFlags);
    std::string strStorage;
    return pfnReal(MapPath(pszPath, strStorage), nFlags, nMode);
}

mode_t ModeArg(int nFlags, va_list args)
{
    return (nFlags & (O_CREAT | O_TMPFILE)) ? mode_t(va_arg(args, int)) : 0;
}
}

// ---- control functions ----

extern "C" int v4l2emu_camera_count()
{
    std::lock_guard<std::mutex> lock(g_mutex);
    return int(g_vecCameras.size());
}

extern "C" int v4l2emu_set_plugged(int nCamera, int bPlugged)
{
    return SetPlugged(nCamera, bPlugged != 0) ? 1 : 0;
}

extern "C" int v4l2emu_set_node(int nCamera, int nNode)
{
    return SetNode(nCamera, nNode) ? 1 : 0;
}

extern "C" long long v4l2emu_frames_delivered(int nCamera)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    if (nCamera < 0 || nCamera >= int(g_vecCameras.size()))
        return 0;
    return g_vecCameras[size_t(nCamera)]->nDelivered.load();
}

// ---- interposed calls ----

extern "C" int open(const char* pszPath, int nFlags, ...)
{
    REAL(open);
    va_list args;
    va_start(args, nFlags);
    const mode_t nMode = ModeArg(nFlags, args);
    va_end(args);
    return OpenPath(pszPath, nFlags, nMode, s_real);
}

extern "C" int open64(const char* pszPath, int nFlags, ...)
{
    REAL(open64);
    va_list args;
    va_start(args, nFlags);
    const mode_t nMode = ModeArg(nFlags, args);
    va_end(args);
    return OpenPath(pszPath, nFlags, nMode, s_real);
}

extern "C" int __open_2(const char* pszPath, int nFlags)
{
    REAL(open);
    return OpenPath(pszPath, nFlags, 0, s_real);
}

extern "C" int __open64_2(const char* pszPath, int nFlags)
{
    REAL(open64);
    return OpenPath(pszPath, nFlags, 0, s_real);
}

extern "C" int openat(int dirfd, const char* pszPath, int nFlags, ...)
{
    REAL(openat);
    va_list args;
    va_start(args, nFlags);
    const mode_t nMode = ModeArg(nFlags, args);
    va_end(args);
    const int nNode = DevNode(pszPath);
    if (nNode >= 0 && g_bInitialised)
        return OpenNode(nNode, nFlags);
    std::string strStorage;
    return s_real(dirfd, MapPath(pszPath, strStorage), nFlags, nMode);
}

extern "C" int openat64(int dirfd, const char* pszPath, int nFlags, ...)
{
    REAL(openat64);
    va_list args;
    va_start(args, nFlags);
    const mode_t nMode = ModeArg(nFlags, args);
    va_end(args);
    const int nNode = DevNode(pszPath);
    if (nNode >= 0 && g_bInitialised)
        return OpenNode(nNode, nFlags);
    std::string strStorage;
    return s_real(dirfd, MapPath(pszPath, strStorage), nFlags, nMode);
}

extern "C" int close(int fd)
{
    REAL(close);
    if (g_bInitialised)
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        auto it = g_mapFiles.find(fd);
        if (it != g_mapFiles.end())
        {
            SOpenFile& file = it->second;
            SCamera& camera = *g_vecCameras[size_t(file.nCamera)];
            if (camera.nStreamingFd == fd)
                camera.nStreamingFd = -1;
            ReleaseBuffers(file);
            g_mapFiles.erase(it);
        }
    }
    return s_real(fd);
}

extern "C" int ioctl(int fd, unsigned long nRequest, ...)
{
    REAL(ioctl);
    va_list args;
    va_start(args, nRequest);
    void* pArg = va_arg(args, void*);
    va_end(args);
    if (!g_bInitialised)
        return s_real(fd, nRequest, pArg);
    for (;;)
    {
        int64_t nWaitNs = 0;
        bool bNonBlock = true;
        {
            std::lock_guard<std::mutex> lock(g_mutex);
            auto it = g_mapFiles.find(fd);
            if (it == g_mapFiles.end())
                return s_real(fd, nRequest, pArg);
            bNonBlock = it->second.bNonBlock;
            const int nResult = HandleIoctl(fd, nRequest, pArg, &nWaitNs);
            if (nResult == 0 || errno != EAGAIN || bNonBlock || nWaitNs <= 0)
                return nResult;
        }
        // A blocking dequeue waits for the next frame, a little at a time so
        // that an unplug ends the wait.
        std::this_thread::sleep_for(std::chrono::nanoseconds(std::min<int64_t>(nWaitNs, 10000000)));
    }
}

extern "C" ssize_t read(int fd, void* pBuffer, size_t nSize)
{
    REAL(read);
    if (g_bInitialised)
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        auto it = g_mapFiles.find(fd);
        if (it != g_mapFiles.end())
        {
            const SCamera& camera = *g_vecCameras[size_t(it->second.nCamera)];
            // USB cameras stream only; read() is not offered.
            errno = (!camera.bPlugged || camera.nGeneration != it->second.nGeneration) ? ENODEV : EINVAL;
            return -1;
        }
    }
    return s_real(fd, pBuffer, nSize);
}

namespace
{
// Under the lock: what poll would report for one of our descriptors.
short PollEvents(SOpenFile& file)
{
    const SCamera& camera = *g_vecCameras[size_t(file.nCamera)];
    if (!camera.bPlugged || camera.nGeneration != file.nGeneration)
        return POLLERR | POLLHUP;
    if (!file.bStreaming || file.queue.empty())
        return 0;
    const int64_t nLatest = (NowNs() - file.nStartNs) / file.nIntervalNs - 1;
    return nLatest > file.nLastFrame ? short(POLLIN | POLLRDNORM) : 0;
}
}

extern "C" int poll(struct pollfd* pFds, nfds_t nCount, int nTimeoutMs)
{
    REAL(poll);
    bool bAny = false;
    for (nfds_t i = 0; i < nCount && !bAny; ++i)
        bAny = IsOurs(pFds[i].fd);
    if (!bAny)
        return s_real(pFds, nCount, nTimeoutMs);
    const auto tpDeadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(nTimeoutMs);
    for (;;)
    {
        int nReady = 0;
        for (nfds_t i = 0; i < nCount; ++i)
        {
            pFds[i].revents = 0;
            bool bOurs = false;
            {
                std::lock_guard<std::mutex> lock(g_mutex);
                auto it = g_mapFiles.find(pFds[i].fd);
                if (it != g_mapFiles.end())
                {
                    bOurs = true;
                    pFds[i].revents = short(PollEvents(it->second) & (pFds[i].events | POLLERR | POLLHUP));
                }
            }
            if (!bOurs)
                s_real(&pFds[i], 1, 0);
            if (pFds[i].revents)
                ++nReady;
        }
        if (nReady || (nTimeoutMs >= 0 && std::chrono::steady_clock::now() >= tpDeadline))
            return nReady;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

// The four path stat calls differ only in their structure, which has the
// same layout in all of them on this platform.
template <typename TStat> int StatPath(int (*pfnReal)(const char*, TStat*), const char* pszPath, TStat* pStat)
{
    const int nNode = DevNode(pszPath);
    if (nNode >= 0 && g_bInitialised)
        return StatNode(nNode, reinterpret_cast<struct stat*>(pStat));
    std::string strStorage;
    return pfnReal(MapPath(pszPath, strStorage), pStat);
}

extern "C" int stat(const char* pszPath, struct stat* pStat)
{
    REAL(stat);
    return StatPath(s_real, pszPath, pStat);
}

extern "C" int stat64(const char* pszPath, struct stat64* pStat)
{
    REAL(stat64);
    return StatPath(s_real, pszPath, pStat);
}

extern "C" int lstat(const char* pszPath, struct stat* pStat)
{
    REAL(lstat);
    return StatPath(s_real, pszPath, pStat);
}

extern "C" int lstat64(const char* pszPath, struct stat64* pStat)
{
    REAL(lstat64);
    return StatPath(s_real, pszPath, pStat);
}

extern "C" int statx(int dirfd, const char* pszPath, int nFlags, unsigned int nMask, struct statx* pStat)
{
    REAL(statx);
    const int nNode = DevNode(pszPath);
    if (nNode >= 0 && g_bInitialised)
    {
        struct stat st;
        if (StatNode(nNode, &st) < 0)
            return -1;
        std::memset(pStat, 0, sizeof(*pStat));
        pStat->stx_mask = STATX_TYPE | STATX_MODE | STATX_NLINK;
        pStat->stx_mode = uint16_t(st.st_mode);
        pStat->stx_nlink = 1;
        pStat->stx_rdev_major = 81;
        pStat->stx_rdev_minor = unsigned(nNode);
        return 0;
    }
    std::string strStorage;
    return s_real(dirfd, MapPath(pszPath, strStorage), nFlags, nMask, pStat);
}

extern "C" int access(const char* pszPath, int nMode)
{
    REAL(access);
    const int nNode = DevNode(pszPath);
    if (nNode >= 0 && g_bInitialised)
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        return PresentCamera(nNode) >= 0 ? 0 : Fail(ENOENT);
    }
    std::string strStorage;
    return s_real(MapPath(pszPath, strStorage), nMode);
}

extern "C" DIR* opendir(const char* pszPath)
{
    REAL(opendir);
    std::string strStorage;
    return s_real(MapPath(pszPath, strStorage));
}

extern "C" char* realpath(const char* pszPath, char* pszResolved)
{
    REAL(realpath);
    std::string strStorage;
    return s_real(MapPath(pszPath, strStorage), pszResolved);
}

extern "C" ssize_t readlink(const char* pszPath, char* pszBuffer, size_t nSize)
{
    REAL(readlink);
    std::string strStorage;
    return s_real(MapPath(pszPath, strStorage), pszBuffer, nSize);
}
