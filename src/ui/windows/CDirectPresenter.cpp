#include "ui/windows/CDirectPresenter.h"

#include <QX11Info>
#include <QtGlobal>

#include <xcb/shm.h>
#include <xcb/xcb.h>
#include <xcb/xcbext.h>

#include <sys/ipc.h>
#include <sys/shm.h>

#include <chrono>
#include <cstdlib>
#include <cstring>

namespace
{
// A pacemaker that has sent nothing for this long has stopped: its window
// was hidden, or the output stopped. The others then send their own.
constexpr std::chrono::milliseconds PACEMAKER_TIMEOUT{100};

// When a pacemaker last sent, on the steady clock.
std::atomic<int64_t> g_nPacemakerSentNs{0};
// The shared connection once it exists, for SendPending().
std::atomic<xcb_connection_t*> g_pConnected{nullptr};

int64_t NowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// One connection of its own for every window: libxcb lets the media threads
// share it, and the toolkit's connection never sees these requests' errors.
xcb_connection_t* SharedConnection()
{
    static xcb_connection_t* const s_pConnection = []() -> xcb_connection_t* {
        xcb_connection_t* pConnection = xcb_connect(nullptr, nullptr);
        if (xcb_connection_has_error(pConnection))
        {
            xcb_disconnect(pConnection);
            return nullptr;
        }
        const xcb_query_extension_reply_t* pShm = xcb_get_extension_data(pConnection, &xcb_shm_id);
        if (!pShm || !pShm->present)
        {
            xcb_disconnect(pConnection);
            return nullptr;
        }
        g_pConnected = pConnection;
        return pConnection;
    }();
    return s_pConnection;
}

// Whether the window's pixels are what a Format_RGB32 picture holds: 24-bit
// true colour, red in the high byte, in 32-bit words of this processor's
// byte order.
bool TakesRgb32(xcb_connection_t* pConnection, uint32_t nWindow)
{
    xcb_get_geometry_reply_t* pGeometry =
        xcb_get_geometry_reply(pConnection, xcb_get_geometry(pConnection, nWindow), nullptr);
    xcb_get_window_attributes_reply_t* pAttributes =
        xcb_get_window_attributes_reply(pConnection, xcb_get_window_attributes(pConnection, nWindow), nullptr);
    const bool bKnown = pGeometry && pAttributes;
    const uint8_t nDepth = pGeometry ? pGeometry->depth : 0;
    const xcb_visualid_t nVisual = pAttributes ? pAttributes->visual : 0;
    std::free(pGeometry);
    std::free(pAttributes);
    if (!bKnown || nDepth != 24)
        return false;

    const xcb_setup_t* pSetup = xcb_get_setup(pConnection);
    const bool bLittleEndian = Q_BYTE_ORDER == Q_LITTLE_ENDIAN;
    if ((pSetup->image_byte_order == XCB_IMAGE_ORDER_LSB_FIRST) != bLittleEndian)
        return false;
    bool bWords = false;
    for (xcb_format_iterator_t it = xcb_setup_pixmap_formats_iterator(pSetup); it.rem; xcb_format_next(&it))
        if (it.data->depth == 24)
            bWords = it.data->bits_per_pixel == 32 && it.data->scanline_pad == 32;
    if (!bWords)
        return false;
    for (xcb_screen_iterator_t itScreen = xcb_setup_roots_iterator(pSetup); itScreen.rem; xcb_screen_next(&itScreen))
        for (xcb_depth_iterator_t itDepth = xcb_screen_allowed_depths_iterator(itScreen.data); itDepth.rem;
             xcb_depth_next(&itDepth))
            for (xcb_visualtype_iterator_t itVisual = xcb_depth_visuals_iterator(itDepth.data); itVisual.rem;
                 xcb_visualtype_next(&itVisual))
                if (itVisual.data->visual_id == nVisual)
                    return itVisual.data->_class == XCB_VISUAL_CLASS_TRUE_COLOR &&
                           itVisual.data->red_mask == 0xff0000 && itVisual.data->green_mask == 0xff00 &&
                           itVisual.data->blue_mask == 0xff;
    return false;
}

// Errors of puts to a window that has just gone arrive as events; nobody
// wants them, but left alone they would pile up. Only those already read
// with a reply: asking the socket for more would cost a system call at
// every picture.
void DiscardEvents(xcb_connection_t* pConnection)
{
    while (xcb_generic_event_t* pEvent = xcb_poll_for_queued_event(pConnection))
        std::free(pEvent);
}
}

std::unique_ptr<CDirectPresenter> CDirectPresenter::Create(uint32_t nWindow)
{
    if (nWindow == 0 || !QX11Info::isPlatformX11() || qEnvironmentVariableIsSet("VISTREL_NO_DIRECT_PAINT"))
        return nullptr;
    // The toolkit may not have sent the window's creation yet; a round trip
    // on its connection makes sure the server knows the window before this
    // connection asks about it.
    xcb_connection_t* pToolkit = QX11Info::connection();
    if (!pToolkit)
        return nullptr;
    std::free(xcb_get_input_focus_reply(pToolkit, xcb_get_input_focus(pToolkit), nullptr));

    xcb_connection_t* pConnection = SharedConnection();
    if (!pConnection || !TakesRgb32(pConnection, nWindow))
        return nullptr;
    const uint32_t nGc = xcb_generate_id(pConnection);
    const uint32_t nNoExposures = 0;
    xcb_generic_error_t* pError = xcb_request_check(
        pConnection, xcb_create_gc_checked(pConnection, nGc, nWindow, XCB_GC_GRAPHICS_EXPOSURES, &nNoExposures));
    if (pError)
    {
        std::free(pError);
        return nullptr;
    }
    return std::unique_ptr<CDirectPresenter>(new CDirectPresenter(pConnection, nWindow, nGc));
}

CDirectPresenter::CDirectPresenter(xcb_connection_t* pConnection, uint32_t nWindow, uint32_t nGc)
    : m_pConnection(pConnection)
    , m_nWindow(nWindow)
    , m_nGc(nGc)
{
}

CDirectPresenter::~CDirectPresenter()
{
    for (SSegment& segment : m_aSegments)
        Release(segment);
    xcb_free_gc(m_pConnection, m_nGc);
    xcb_flush(m_pConnection);
    DiscardEvents(m_pConnection);
}

bool CDirectPresenter::Present(const QImage& image, const QPoint& ptAt, const QRect& rcClip)
{
    if (m_bBroken || image.format() != QImage::Format_RGB32)
        return false;
    if (xcb_connection_has_error(m_pConnection))
    {
        m_bBroken = true;
        return false;
    }
    const QRect rcPut = QRect(ptAt, image.size()) & rcClip;
    if (rcPut.isEmpty())
        return true;

    SSegment& segment = m_aSegments[m_nNext];
    // A server that has not read the picture before last yet is busy or
    // stuck: this picture is left out rather than waited for, since the
    // thread drawing it also feeds the recording.
    if (!IsRead(segment))
    {
        Send();
        return true;
    }
    const size_t nSize = size_t(image.bytesPerLine()) * size_t(image.height());
    if (!Prepare(segment, nSize))
    {
        // Shared memory refused once is refused again; the toolkit paints.
        m_bBroken = true;
        return false;
    }
    std::memcpy(segment.pData, image.constBits(), nSize);
    xcb_shm_put_image(m_pConnection, m_nWindow, m_nGc, uint16_t(image.bytesPerLine() / 4), uint16_t(image.height()),
                      uint16_t(rcPut.x() - ptAt.x()), uint16_t(rcPut.y() - ptAt.y()), uint16_t(rcPut.width()),
                      uint16_t(rcPut.height()), int16_t(rcPut.x()), int16_t(rcPut.y()), 24, XCB_IMAGE_FORMAT_Z_PIXMAP,
                      0, segment.nSeg, 0);
    // The server answers requests in order: once this is answered, the
    // picture has been read and the buffer may take the next one.
    segment.nSyncSequence = xcb_get_input_focus(m_pConnection).sequence;
    segment.bSyncPending = true;
    Send();
    DiscardEvents(m_pConnection);
    m_nNext = 1 - m_nNext;
    return true;
}

void CDirectPresenter::Send()
{
    const int64_t nNow = NowNs();
    if (m_bPacemaker)
        g_nPacemakerSentNs = nNow;
    else if (nNow - g_nPacemakerSentNs.load() < std::chrono::nanoseconds(PACEMAKER_TIMEOUT).count())
        return;
    xcb_flush(m_pConnection);
}

void CDirectPresenter::SendPending()
{
    if (xcb_connection_t* pConnection = g_pConnected.load())
        xcb_flush(pConnection);
}

bool CDirectPresenter::Prepare(SSegment& segment, size_t nSize)
{
    if (segment.pData && segment.nSize >= nSize)
        return true;
    Release(segment);
    const int nId = shmget(IPC_PRIVATE, nSize, IPC_CREAT | 0600);
    if (nId < 0)
        return false;
    void* pData = shmat(nId, nullptr, 0);
    if (pData == reinterpret_cast<void*>(-1))
    {
        shmctl(nId, IPC_RMID, nullptr);
        return false;
    }
    const uint32_t nSeg = xcb_generate_id(m_pConnection);
    xcb_generic_error_t* pError =
        xcb_request_check(m_pConnection, xcb_shm_attach_checked(m_pConnection, nSeg, uint32_t(nId), 1));
    // Marked for removal at once: it goes when both sides have let go, even
    // if this process dies.
    shmctl(nId, IPC_RMID, nullptr);
    if (pError)
    {
        std::free(pError);
        shmdt(pData);
        return false;
    }
    segment.nSeg = nSeg;
    segment.pData = static_cast<uint8_t*>(pData);
    segment.nSize = nSize;
    return true;
}

bool CDirectPresenter::IsRead(SSegment& segment)
{
    if (!segment.bSyncPending)
        return true;
    void* pReply = nullptr;
    xcb_generic_error_t* pError = nullptr;
    if (!xcb_poll_for_reply(m_pConnection, segment.nSyncSequence, &pReply, &pError))
        return false;
    std::free(pReply);
    std::free(pError);
    segment.bSyncPending = false;
    return true;
}

void CDirectPresenter::Release(SSegment& segment)
{
    // The server keeps its own mapping until it has read the last picture
    // and handled the detach sent after it; nothing here need wait for it.
    if (segment.bSyncPending)
        xcb_discard_reply(m_pConnection, segment.nSyncSequence);
    if (!segment.pData)
        return;
    xcb_shm_detach(m_pConnection, segment.nSeg);
    shmdt(segment.pData);
    segment = SSegment();
}
