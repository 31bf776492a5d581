// The KVE_ operations over the encoder and muxer objects, and the KVS_ query
// for a hardware H.264 encoder.
#include "media/KVEncoder.h"
#include "media/KVStream.h"

#include "media/encoder/CAacEncoder.h"
#include "media/encoder/CH264Encoder.h"
#include "media/encoder/CMp4Muxer.h"
#include "media/encoder/H264Probe.h"
#include "media/core/HandleTable.h"
#include "media/core/LastError.h"

namespace
{
using namespace KVMedia;

CHandleTable<CH264Encoder>& H264Table()
{
    static CHandleTable<CH264Encoder> s_table;
    return s_table;
}

CHandleTable<CAacEncoder>& AacTable()
{
    static CHandleTable<CAacEncoder> s_table;
    return s_table;
}

CHandleTable<CMp4Muxer>& MuxerTable()
{
    static CHandleTable<CMp4Muxer> s_table;
    return s_table;
}
}

int KVS_IsSupportH264HD()
{
    return IsH264HardwareSupported() ? 1 : 0;
}

KVS_HANDLE KVE_CreateH264Encoder(int nType, int nColor, const KVE_H264_PARAM* pParam, KVE_OUTPUT_CALLBACK pfn,
                                 void* pUser)
{
    if (!pParam || nColor != KVS_COLOR_YUYV)
    {
        KVMedia::SetLastError(KVS_ERROR_BAD_ARGUMENT);
        return nullptr;
    }
    auto pEncoder = std::make_shared<CH264Encoder>(pfn, pUser);
    if (!pEncoder->Open(nType, *pParam))
        return nullptr;
    return H264Table().Add(std::move(pEncoder));
}

int KVE_H264EncoderPutFrame(KVS_HANDLE hEncoder, const uint8_t* pFrame, int64_t nValue)
{
    const auto pEncoder = H264Table().Get(hEncoder);
    if (!pEncoder || !pEncoder->PutFrame(pFrame, nValue))
        return 0;
    return pEncoder->GetOutput().HasFailedSink() ? -1 : 1;
}

int KVE_H264EncoderRepeatFrame(KVS_HANDLE hEncoder, int64_t nValue)
{
    const auto pEncoder = H264Table().Get(hEncoder);
    if (!pEncoder || !pEncoder->RepeatLastFrame(nValue))
        return 0;
    return pEncoder->GetOutput().HasFailedSink() ? -1 : 1;
}

int KVE_H264EncoderRequestKeyFrame(KVS_HANDLE hEncoder)
{
    const auto pEncoder = H264Table().Get(hEncoder);
    if (!pEncoder)
        return 0;
    pEncoder->RequestKeyFrame();
    return 1;
}

int KVE_DestroyH264Encoder(KVS_HANDLE hEncoder)
{
    const auto pEncoder = H264Table().Remove(hEncoder);
    if (!pEncoder)
        return 0;
    // An attached muxer keeps the object, but the encoder ends here.
    pEncoder->Close();
    return 1;
}

KVS_HANDLE KVE_CreateAACEncoder(int nSampleRate, const KVE_AAC_PARAM* pParam, KVE_OUTPUT_CALLBACK pfn, void* pUser)
{
    if (!pParam)
    {
        KVMedia::SetLastError(KVS_ERROR_BAD_ARGUMENT);
        return nullptr;
    }
    auto pEncoder = std::make_shared<CAacEncoder>(pfn, pUser);
    if (!pEncoder->Open(nSampleRate, *pParam))
        return nullptr;
    return AacTable().Add(std::move(pEncoder));
}

int KVE_AACEncoderPutFrame(KVS_HANDLE hEncoder, const uint8_t* pData, int nLength)
{
    const auto pEncoder = AacTable().Get(hEncoder);
    if (!pEncoder || !pEncoder->PutFrame(pData, nLength))
        return 0;
    return pEncoder->GetOutput().HasFailedSink() ? -1 : 1;
}

int KVE_DestroyAACEncoder(KVS_HANDLE hEncoder)
{
    const auto pEncoder = AacTable().Remove(hEncoder);
    if (!pEncoder)
        return 0;
    pEncoder->Close();
    return 1;
}

KVS_HANDLE KVE_CreateMp4Muxer(const char16_t* pszPath, KVS_HANDLE hH264, KVS_HANDLE hAac)
{
    auto pH264 = H264Table().Get(hH264);
    auto pAac = hAac ? AacTable().Get(hAac) : nullptr;
    if (!pszPath || !pH264 || (hAac && !pAac))
    {
        KVMedia::SetLastError(KVS_ERROR_BAD_ARGUMENT);
        return nullptr;
    }
    auto pMuxer = std::make_shared<CMp4Muxer>();
    if (!pMuxer->Open(QString::fromUtf16(pszPath), std::move(pH264), std::move(pAac)))
    {
        pMuxer->Close();
        return nullptr;
    }
    return MuxerTable().Add(std::move(pMuxer));
}

int KVE_GetMp4MuxerBytes(KVS_HANDLE hMuxer, int64_t* pWritten, int64_t* pPending)
{
    const auto pMuxer = MuxerTable().Get(hMuxer);
    if (!pMuxer || !pWritten || !pPending)
        return 0;
    *pWritten = pMuxer->GetBytesWritten();
    *pPending = pMuxer->GetBytesPending();
    return 1;
}

int KVE_DestroyMp4Muxer(KVS_HANDLE hMuxer)
{
    const auto pMuxer = MuxerTable().Remove(hMuxer);
    if (!pMuxer)
        return 0;
    return pMuxer->Close() ? 1 : 0;
}
