// Recording and streaming as the engine offers them: the settings of a run
// are read here and handed to the recorder, which does the rest.
#include "engine/CKVCapture.h"

#include "config/CSettings.h"
#include "engine/CVoIPAutoLock.h"
#include "engine/KVRecordParams.h"
#include "media/KVProtocol.h"
#include "media/KVStream.h"
#include "platform/Log.h"

#include <QFile>

bool CKVCapture::StartRecord(const QString& strPath, const QString& strUrl)
{
    QString strReason;
    return StartRecord(strPath, strUrl, strReason);
}

bool CKVCapture::StartRecord(const QString& strPath, const QString& strUrl, QString& strReason)
{
    std::vector<SStreamTarget> vecStreams;
    if (!strUrl.isEmpty())
        vecStreams.push_back({QStringLiteral("RTMP"), strUrl});
    return StartRecord(strPath, vecStreams, strReason);
}

bool CKVCapture::StartRecord(const QString& strPath, const std::vector<SStreamTarget>& vecStreams, QString& strReason)
{
    m_recorder.SetStopped();
    strReason.clear();

    // Asked before anything exists and before the encoder locks are taken:
    // a refused stream then leaves no empty file behind, and a notifier
    // that shows a message does not hold up the mixer thread meanwhile.
    if (!vecStreams.empty())
    {
        bool bAccepted = true;
        {
            CVoIPAutoLock lockNotify(m_csNotify);
            for (IKVRecordNotify* pNotify : m_listNotify)
            {
                if (pNotify->CheckRtmpSettings(IKVRecordNotify::CHECK_RTMP_ON_START) == 0)
                {
                    bAccepted = false;
                    break;
                }
            }
        }
        if (!bAccepted)
        {
            StopRecord();
            return false;
        }
    }

    // A second start would otherwise lose the running encoders and file.
    // Stopped before the encoder locks are taken, since a file that cannot
    // be finished is reported to the notifiers.
    if (m_recorder.IsActive())
        StopRecord();

    if (!vecStreams.empty())
        ApplyStoredTlsCaFile();
    return m_recorder.Start(ReadRecordParams(strPath, vecStreams), strReason);
}

void CKVCapture::ApplyStoredTlsCaFile() const
{
    const QString strPath = g_settings.GetTlsCaFile();
    KPL_SetTlsCaFile(strPath.isEmpty() ? nullptr : QFile::encodeName(strPath).constData());
}

SRecordParams CKVCapture::ReadRecordParams(const QString& strPath, const std::vector<SStreamTarget>& vecStreams) const
{
    KVEncoderOptions options;
    g_settings.GetEncoderParam(options.nProfile, options.nQuality, options.nBitrate, options.nMode, options.nKeyFrame,
                               options.nEncoderKind, options.nAudioBitrate, options.nAudioQuality);
    int nWidth = 0;
    int nHeight = 0;
    int nDuration = 0;
    ReadOutputFormat(nWidth, nHeight, nDuration);

    SRecordParams params;
    params.nEncoderType = EncoderType(options);
    // The session streams when it is given somewhere to stream to, whatever
    // the stored push flag says.
    const bool bStreaming = !vecStreams.empty();
    params.paramVideo = BuildH264Param(options, nWidth, nHeight, nDuration, bStreaming);
    params.bAudio = m_hPrimaryAudio.load() != nullptr;
    params.paramAudio = BuildAacParam(options);
    params.strPath = strPath;
    params.vecStreams = vecStreams;
    return params;
}

void CKVCapture::StopRecord()
{
    m_recorder.Stop();
}

void CKVCapture::SetRecordingStopped()
{
    m_recorder.SetStopped();
}

bool CKVCapture::IsRecording() const
{
    return m_recorder.IsRunning();
}

void CKVCapture::NotifyError(int nCode)
{
    CVoIPAutoLock lock(m_csNotify);
    for (IKVRecordNotify* pNotify : m_listNotify)
        pNotify->OnError(nCode);
}

bool CKVCapture::GetStatistics(float& fByteRate, float& fFrameRate)
{
    bool bPeriodEnded = false;
    if (!m_recorder.GetStatistics(fByteRate, fFrameRate, bPeriodEnded))
        return false;
    if (bPeriodEnded)
        LogOutputStatistics(fFrameRate);
    return true;
}

void CKVCapture::LogOutputStatistics(float fFrameRate) const
{
    // A late tick is a frame the output repeated because the machine fell
    // behind; with the rate it tells a slow source from a slow machine.
    uint64_t nLateTicks = 0;
    if (!GetLateTicks(nLateTicks))
        return;
    Log::Info("engine",
              QStringLiteral("output: %1 frames/s, %2 late ticks").arg(double(fFrameRate), 0, 'f', 1).arg(nLateTicks));
}

bool CKVCapture::GetLateTicks(uint64_t& nLateTicks) const
{
    return m_hMixer && KVS_GetVideoMixerLateTicks(m_hMixer, &nLateTicks);
}
