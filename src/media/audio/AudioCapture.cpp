#include "media/audio/AudioCapture.h"

#include "media/audio/AudioLevel.h"
#include "platform/Log.h"
#include "platform/Platform.h"

#include <chrono>
#include <cstring>

namespace KVMedia
{
namespace
{
const int g_nTimeoutMs = 1500;
// More than this waiting means the callbacks fall behind; the oldest audio
// goes first so that what is delivered stays current.
const size_t g_nMaxQueueBytes = 48000 * 4;
}

CAudioCapture::CAudioCapture(const SAudioDeviceDesc& desc)
    : m_desc(desc)
{
}

CAudioCapture::~CAudioCapture()
{
    Stop();
    std::unique_ptr<CAudioMonitor> pMonitor;
    {
        std::lock_guard<std::mutex> lock(m_mutexMonitor);
        pMonitor = std::move(m_pMonitor);
    }
}

bool CAudioCapture::Open()
{
    if (m_desc.nVirtualIndex >= 0)
        return true;
    m_pConnection = std::make_unique<CPulseConnection>();
    if (!m_pConnection->Connect("Vistrel capture", g_nTimeoutMs))
    {
        Log::Error("audio", QStringLiteral("no sound server for \"%1\"").arg(m_desc.strName));
        m_pConnection.reset();
        return false;
    }
    // The list was taken at start; the source may have gone since.
    if (!SourceExists())
    {
        Log::Error("audio", QStringLiteral("\"%1\" is no longer there").arg(m_desc.strName));
        m_pConnection.reset();
        return false;
    }
    return true;
}

bool CAudioCapture::SourceExists()
{
    struct SQuery
    {
        CPulseConnection* pConnection;
        bool bDone = false;
        bool bFound = false;
    } query{m_pConnection.get()};
    const auto fnInfo = [](pa_context*, const pa_source_info* pInfo, int nEol, void* pUser) {
        auto* pQuery = static_cast<SQuery*>(pUser);
        if (pInfo)
            pQuery->bFound = true;
        if (nEol != 0)
        {
            pQuery->bDone = true;
            pQuery->pConnection->Signal();
        }
    };
    CPulseLock lock(*m_pConnection);
    pa_operation* pOperation =
        pa_context_get_source_info_by_name(m_pConnection->Context(), m_desc.baSourceName.constData(), fnInfo, &query);
    if (!pOperation)
        return false;
    if (!m_pConnection->WaitFor([&query] { return query.bDone; }, g_nTimeoutMs))
        pa_operation_cancel(pOperation);
    pa_operation_unref(pOperation);
    return query.bFound;
}

bool CAudioCapture::SetFormat(int nSampleRate, int nChannels, int nBlockSamples)
{
    // The server would convert any rate, but every consumer above expects
    // exactly this format, so anything else is a caller's mistake.
    if (nSampleRate != 48000 || nChannels != 2 || nBlockSamples <= 0 || nBlockSamples > 48000)
        return false;
    if (m_bRunning)
        return false;
    m_nBlockBytes = nBlockSamples * 4;
    return true;
}

void CAudioCapture::SetDataCallback(KVS_AUDIO_CAPTURE_CALLBACK pfn, void* pUser)
{
    std::lock_guard<std::recursive_mutex> lock(m_mutexCallbacks);
    m_pfnData = pfn;
    m_pDataUser = pUser;
}

void CAudioCapture::SetMeterCallback(KVS_AUDIO_METER_CALLBACK pfn, void* pUser)
{
    std::lock_guard<std::recursive_mutex> lock(m_mutexCallbacks);
    m_pfnMeter = pfn;
    m_pMeterUser = pUser;
}

bool CAudioCapture::SetMonitor(bool bOn)
{
    std::unique_ptr<CAudioMonitor> pOld;
    if (!bOn)
    {
        std::lock_guard<std::mutex> lock(m_mutexMonitor);
        pOld = std::move(m_pMonitor);
        return true;
    }
    {
        std::lock_guard<std::mutex> lock(m_mutexMonitor);
        if (m_pMonitor)
            return true;
    }
    // Opened without the lock: connecting may take up to the time-out, and
    // delivery must not wait for it.
    auto pMonitor = std::make_unique<CAudioMonitor>();
    if (!pMonitor->Open(m_nBlockBytes))
    {
        Log::Warning("audio", QStringLiteral("monitoring not available"));
        return false;
    }
    std::lock_guard<std::mutex> lock(m_mutexMonitor);
    if (!m_pMonitor)
        m_pMonitor = std::move(pMonitor);
    return true;
}

bool CAudioCapture::Start()
{
    if (m_bRunning)
        return true;
    {
        std::lock_guard<std::mutex> lock(m_mutexQueue);
        m_vecQueue.clear();
        m_bStopping = false;
    }
    if (m_desc.nVirtualIndex >= 0)
    {
        m_bRunning = true;
        m_thread = std::thread(&CAudioCapture::RunTone, this);
        return true;
    }
    if (!m_pConnection || !StartRecordStream())
    {
        StopRecordStream();
        return false;
    }
    m_bRunning = true;
    m_thread = std::thread(&CAudioCapture::RunQueue, this);
    return true;
}

bool CAudioCapture::Stop()
{
    // Joining our own thread would never return.
    if (IsOwnThread())
        return false;
    if (!m_bRunning)
        return true;
    StopRecordStream();
    {
        std::lock_guard<std::mutex> lock(m_mutexQueue);
        m_bStopping = true;
    }
    m_condQueue.notify_all();
    m_thread.join();
    m_idDelivery = std::thread::id();
    m_bRunning = false;
    return true;
}

bool CAudioCapture::IsOwnThread() const
{
    return m_idDelivery.load() == std::this_thread::get_id();
}

bool CAudioCapture::StartRecordStream()
{
    CPulseLock lock(*m_pConnection);
    const pa_sample_spec sampleFormat{PA_SAMPLE_S16LE, 48000, 2};
    m_pRecord = pa_stream_new(m_pConnection->Context(), "Vistrel capture", &sampleFormat, nullptr);
    if (!m_pRecord)
        return false;
    pa_stream_set_state_callback(m_pRecord, &CAudioCapture::OnStreamState, this);
    pa_stream_set_read_callback(m_pRecord, &CAudioCapture::OnStreamRead, this);
    // Fragments of one block keep the delay of the first block small.
    pa_buffer_attr attr;
    attr.maxlength = uint32_t(-1);
    attr.tlength = uint32_t(-1);
    attr.prebuf = uint32_t(-1);
    attr.minreq = uint32_t(-1);
    attr.fragsize = uint32_t(m_nBlockBytes);
    if (pa_stream_connect_record(m_pRecord, m_desc.baSourceName.constData(), &attr, PA_STREAM_ADJUST_LATENCY) < 0)
        return false;
    const auto fnSettled = [this] {
        const pa_stream_state_t eState = pa_stream_get_state(m_pRecord);
        return eState == PA_STREAM_READY || !PA_STREAM_IS_GOOD(eState);
    };
    m_pConnection->WaitFor(fnSettled, g_nTimeoutMs);
    if (pa_stream_get_state(m_pRecord) == PA_STREAM_READY)
        return true;
    Log::Error("audio",
               QStringLiteral("cannot record from \"%1\": %2")
                   .arg(m_desc.strName, QString::fromUtf8(pa_strerror(pa_context_errno(m_pConnection->Context())))));
    return false;
}

void CAudioCapture::StopRecordStream()
{
    if (!m_pConnection || !m_pRecord)
        return;
    CPulseLock lock(*m_pConnection);
    pa_stream_set_read_callback(m_pRecord, nullptr, nullptr);
    pa_stream_set_state_callback(m_pRecord, nullptr, nullptr);
    pa_stream_disconnect(m_pRecord);
    pa_stream_unref(m_pRecord);
    m_pRecord = nullptr;
}

void CAudioCapture::OnStreamState(pa_stream*, void* pUser)
{
    static_cast<CAudioCapture*>(pUser)->m_pConnection->Signal();
}

// On the server connection's loop thread: only copies, so that a slow
// callback above can never stall the loop (or Stop, which needs its lock).
void CAudioCapture::OnStreamRead(pa_stream* pStream, size_t, void* pUser)
{
    auto* pThis = static_cast<CAudioCapture*>(pUser);
    for (;;)
    {
        const void* pData = nullptr;
        size_t nBytes = 0;
        if (pa_stream_peek(pStream, &pData, &nBytes) < 0 || nBytes == 0)
            return;
        if (pData)
        {
            pThis->Append(static_cast<const uint8_t*>(pData), nBytes);
        }
        else
        {
            // A hole (lost audio) becomes silence, so the timing holds.
            const std::vector<uint8_t> vecSilence(nBytes, 0);
            pThis->Append(vecSilence.data(), nBytes);
        }
        pa_stream_drop(pStream);
    }
}

void CAudioCapture::Append(const uint8_t* pData, size_t nLength)
{
    {
        std::lock_guard<std::mutex> lock(m_mutexQueue);
        m_vecQueue.insert(m_vecQueue.end(), pData, pData + nLength);
        if (m_vecQueue.size() > g_nMaxQueueBytes)
        {
            const size_t nBlock = size_t(m_nBlockBytes);
            const size_t nDrop = (m_vecQueue.size() - g_nMaxQueueBytes + nBlock - 1) / nBlock * nBlock;
            m_vecQueue.erase(m_vecQueue.begin(),
                             m_vecQueue.begin() + std::ptrdiff_t(std::min(nDrop, m_vecQueue.size())));
        }
    }
    m_condQueue.notify_one();
}

void CAudioCapture::RunQueue()
{
    Platform::SetThreadName("kvs-audio");
    m_idDelivery = std::this_thread::get_id();
    const size_t nBlock = size_t(m_nBlockBytes);
    std::vector<uint8_t> vecBlock(nBlock);
    std::unique_lock<std::mutex> lock(m_mutexQueue);
    for (;;)
    {
        m_condQueue.wait(lock, [&] { return m_bStopping || m_vecQueue.size() >= nBlock; });
        if (m_bStopping)
            return;
        std::memcpy(vecBlock.data(), m_vecQueue.data(), nBlock);
        m_vecQueue.erase(m_vecQueue.begin(), m_vecQueue.begin() + std::ptrdiff_t(nBlock));
        lock.unlock();
        Deliver(vecBlock.data(), nBlock);
        lock.lock();
    }
}

void CAudioCapture::RunTone()
{
    Platform::SetThreadName("kvs-tone");
    m_idDelivery = std::this_thread::get_id();
    using Clock = std::chrono::steady_clock;
    const int nFrames = m_nBlockBytes / 4;
    const auto durBlock = std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double>(double(nFrames) / CToneGenerator::SAMPLE_RATE));
    CToneGenerator tone;
    std::vector<int16_t> vecBlock(size_t(nFrames) * 2);
    // Absolute deadlines, so the rate does not drift with the time spent
    // in the callbacks.
    Clock::time_point tStart = Clock::now();
    int64_t nBlocks = 0;
    std::unique_lock<std::mutex> lock(m_mutexQueue);
    while (!m_bStopping)
    {
        lock.unlock();
        tone.Fill(vecBlock.data(), nFrames);
        Deliver(reinterpret_cast<const uint8_t*>(vecBlock.data()), size_t(m_nBlockBytes));
        ++nBlocks;
        Clock::time_point tDeadline = tStart + durBlock * nBlocks;
        // After a long stall start afresh rather than catch up in a burst.
        if (Clock::now() - tDeadline > std::chrono::milliseconds(500))
        {
            tStart = Clock::now();
            nBlocks = 0;
            tDeadline = tStart;
        }
        lock.lock();
        m_condQueue.wait_until(lock, tDeadline, [this] { return m_bStopping; });
    }
}

void CAudioCapture::Deliver(const uint8_t* pBlock, size_t nLength)
{
    const int nLevel = LevelFromS16(reinterpret_cast<const int16_t*>(pBlock), nLength / 2);
    {
        std::lock_guard<std::recursive_mutex> lock(m_mutexCallbacks);
        if (m_pfnData)
            m_pfnData(pBlock, int(nLength), m_pDataUser);
        if (m_pfnMeter)
            m_pfnMeter(nLevel, m_pMeterUser);
    }
    std::lock_guard<std::mutex> lock(m_mutexMonitor);
    if (m_pMonitor)
        m_pMonitor->Write(pBlock, nLength);
}
}
