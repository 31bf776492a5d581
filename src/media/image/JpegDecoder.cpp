#include "media/image/JpegDecoder.h"

#include "media/image/ReducedSize.h"
#include "media/image/YuyvLayout.h"

// jpeglib.h needs FILE and size_t declared first.
#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

extern "C"
{
#include <libavutil/pixfmt.h>
}

#include <climits>

namespace KVMedia
{
namespace
{
// The largest reduction libjpeg offers as a plain 1/2^n.
const int MAX_REDUCTION = 3;
// Plane rows and strides are padded so that the decoder may write whole
// blocks and the scaler may read in whole vectors.
const int PLANE_ALIGN = 32;
// Lines of one component in one iMCU row: two block rows of eight lines,
// what the usual sampling factors need.
const int MAX_ROWS = 16;

struct SErrorManager
{
    jpeg_error_mgr manager;
    std::jmp_buf jump;
};

// libjpeg's errors do not return; control goes back to where the decode
// began, and the picture counts as damaged.
[[noreturn]] void LeaveOnError(j_common_ptr pInfo)
{
    // NOLINTNEXTLINE(cert-err52-cpp): libjpeg's only way out of an error
    std::longjmp(reinterpret_cast<SErrorManager*>(pInfo->err)->jump, 1);
}

// Camera pictures often carry small faults (extra bytes before a marker, a
// cut-off end); libjpeg repairs them, and a camera would fill standard error
// thirty times a second.
void IgnoreMessage(j_common_ptr /*pInfo*/, int /*nLevel*/) {}

int Align(int n)
{
    return (n + PLANE_ALIGN - 1) / PLANE_ALIGN * PLANE_ALIGN;
}

// The planar format of a picture whose chroma planes have one sample for
// every nRatioH x nRatioV luma samples.
int PlanarFormat(int nRatioH, int nRatioV)
{
    if (nRatioH == 1 && nRatioV == 1)
        return AV_PIX_FMT_YUV444P;
    if (nRatioH == 2 && nRatioV == 1)
        return AV_PIX_FMT_YUV422P;
    if (nRatioH == 2 && nRatioV == 2)
        return AV_PIX_FMT_YUV420P;
    if (nRatioH == 1 && nRatioV == 2)
        return AV_PIX_FMT_YUV440P;
    return AV_PIX_FMT_NONE;
}
}

struct CJpegDecoder::SState
{
    jpeg_decompress_struct decompress{};
    SErrorManager error{};
};

CJpegDecoder::CJpegDecoder()
    : m_pState(std::make_unique<SState>())
{
    m_pState->decompress.err = jpeg_std_error(&m_pState->error.manager);
    m_pState->error.manager.error_exit = &LeaveOnError;
    m_pState->error.manager.emit_message = &IgnoreMessage;
    jpeg_create_decompress(&m_pState->decompress);
}

CJpegDecoder::~CJpegDecoder()
{
    jpeg_destroy_decompress(&m_pState->decompress);
}

CJpegDecoder::EResult CJpegDecoder::Decode(const uint8_t* pData, size_t nSize, int nMinWidth, int nMinHeight)
{
    m_eFormat = AV_PIX_FMT_NONE;
    if (!pData || nSize < 4 || nSize > ULONG_MAX)
        return DAMAGED;
    // Nothing below owns anything that the jump back would skip: the planes
    // are members, and libjpeg's memory is freed by the abort.
    // NOLINTNEXTLINE(cert-err52-cpp): libjpeg's only way out of an error
    if (setjmp(m_pState->error.jump) != 0)
    {
        jpeg_abort_decompress(&m_pState->decompress);
        m_eFormat = AV_PIX_FMT_NONE;
        return DAMAGED;
    }
    const EResult eResult = DecodeGuarded(pData, nSize, nMinWidth, nMinHeight);
    if (eResult != DECODED)
    {
        jpeg_abort_decompress(&m_pState->decompress);
        m_eFormat = AV_PIX_FMT_NONE;
    }
    return eResult;
}

CJpegDecoder::EResult CJpegDecoder::DecodeGuarded(const uint8_t* pData, size_t nSize, int nMinWidth, int nMinHeight)
{
    jpeg_decompress_struct& d = m_pState->decompress;
    jpeg_mem_src(&d, pData, static_cast<unsigned long>(nSize));
    if (jpeg_read_header(&d, TRUE) != JPEG_HEADER_OK)
        return DAMAGED;
    // A damaged header can declare up to 65535 x 65535, gigabytes of planes.
    if (!IsFrameSizeAllowed(int(d.image_width), int(d.image_height)))
        return DAMAGED;
    const bool bYCbCr = d.num_components == 3 && d.jpeg_color_space == JCS_YCbCr;
    const bool bGrey = d.num_components == 1 && d.jpeg_color_space == JCS_GRAYSCALE;
    if (!bYCbCr && !bGrey)
        return UNSUPPORTED;

    m_nReduction = ChooseReduction(int(d.image_width), int(d.image_height), nMinWidth, nMinHeight, MAX_REDUCTION);
    d.raw_data_out = TRUE;
    d.do_fancy_upsampling = FALSE;
    d.out_color_space = d.jpeg_color_space;
    d.scale_num = 1;
    d.scale_denom = 1U << unsigned(m_nReduction);
    // Sizes every component's blocks, which Layout needs before the start.
    jpeg_calc_output_dimensions(&d);
    if (!Layout())
        return UNSUPPORTED;
    if (!jpeg_start_decompress(&d))
        return DAMAGED;
    ReadPlanes();
    jpeg_finish_decompress(&d);
    return DECODED;
}

bool CJpegDecoder::Layout()
{
    const jpeg_decompress_struct& d = m_pState->decompress;
    m_nWidth = int(d.output_width);
    m_nHeight = int(d.output_height);
    const jpeg_component_info* pLuma = &d.comp_info[0];
    const int nLumaH = pLuma->h_samp_factor * pLuma->DCT_scaled_size;
    const int nLumaV = pLuma->v_samp_factor * pLuma->DCT_scaled_size;
    int eFormat = AV_PIX_FMT_GRAY8;
    if (d.num_components == 3)
    {
        // libjpeg may decode chroma at a larger scale than luma to spare
        // itself upsampling, so the planes' ratio is what it will write,
        // not the picture's sampling factors.
        const jpeg_component_info* pCb = &d.comp_info[1];
        const jpeg_component_info* pCr = &d.comp_info[2];
        const int nChromaH = pCb->h_samp_factor * pCb->DCT_scaled_size;
        const int nChromaV = pCb->v_samp_factor * pCb->DCT_scaled_size;
        if (nChromaH != pCr->h_samp_factor * pCr->DCT_scaled_size ||
            nChromaV != pCr->v_samp_factor * pCr->DCT_scaled_size || nLumaH % nChromaH || nLumaV % nChromaV)
            return false;
        eFormat = PlanarFormat(nLumaH / nChromaH, nLumaV / nChromaV);
        if (eFormat == AV_PIX_FMT_NONE)
            return false;
    }
    for (int c = 0; c < d.num_components; ++c)
    {
        const jpeg_component_info* pComponent = &d.comp_info[c];
        if (pComponent->v_samp_factor * pComponent->DCT_scaled_size > MAX_ROWS)
            return false;
        // Whole blocks of every iMCU row, including the last one's padding.
        const int nStride = Align(int(pComponent->width_in_blocks) * pComponent->DCT_scaled_size);
        const int nRows = int(d.total_iMCU_rows) * pComponent->v_samp_factor * pComponent->DCT_scaled_size;
        m_abPlanes[c].resize(size_t(nStride) * size_t(nRows) + PLANE_ALIGN);
        m_apPlanes[c] = m_abPlanes[c].data();
        m_anStrides[c] = nStride;
    }
    for (int c = d.num_components; c < 4; ++c)
    {
        m_apPlanes[c] = nullptr;
        m_anStrides[c] = 0;
    }
    m_eFormat = eFormat;
    return true;
}

void CJpegDecoder::ReadPlanes()
{
    jpeg_decompress_struct& d = m_pState->decompress;
    // One iMCU row a call, of at most MAX_ROWS lines (checked by Layout).
    JSAMPROW aapRows[3][MAX_ROWS];
    JSAMPARRAY apComponents[3] = {aapRows[0], aapRows[1], aapRows[2]};
    const int nLinesPerCall = d.max_v_samp_factor * d.min_DCT_scaled_size;
    for (unsigned nRow = 0; d.output_scanline < d.output_height; ++nRow)
    {
        for (int c = 0; c < d.num_components; ++c)
        {
            const jpeg_component_info* pComponent = &d.comp_info[c];
            const int nRows = pComponent->v_samp_factor * pComponent->DCT_scaled_size;
            for (int r = 0; r < nRows; ++r)
                aapRows[c][r] =
                    m_abPlanes[c].data() + (size_t(nRow) * size_t(nRows) + size_t(r)) * size_t(m_anStrides[c]);
        }
        if (jpeg_read_raw_data(&d, apComponents, JDIMENSION(nLinesPerCall)) == 0)
            break;
    }
}
}
