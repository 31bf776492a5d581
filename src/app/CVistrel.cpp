#include "CVistrel.h"

#include "AppInfo.h"
#include "CKVCapture.h"
#include "CRenderWidget.h"
#include "CSettings.h"
#include "Platform.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QGridLayout>
#include <QIcon>
#include <QPainter>

// One channel's live picture; says so when the device is held by another
// program.
class CChannelPreview : public CRenderWidget
{
public:
    explicit CChannelPreview(QWidget* pParent) : CRenderWidget(pParent) {}

    void SetBusy(bool bBusy)
    {
        m_bBusy = bBusy;
        update();
    }

protected:
    void paintEvent(QPaintEvent* pEvent) override
    {
        CRenderWidget::paintEvent(pEvent);
        if (!m_bBusy)
            return;
        QPainter painter(this);
        painter.fillRect(rect(), Qt::black);
        QFont font(QStringLiteral("Arial"), 10);
        font.setBold(true);
        painter.setFont(font);
        painter.setPen(Qt::white);
        painter.drawText(rect(), Qt::AlignCenter, QCoreApplication::translate("CVideoWnd", "Device being used"));
    }

private:
    bool m_bBusy = false;
};

CVistrel::CVistrel(QWidget* pParent)
    : QMainWindow(pParent)
{
    setWindowTitle(GetAppTitle());
    setWindowFlags(windowFlags() | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint);
    setWindowIcon(QIcon(QStringLiteral(":/vistrel.ico")));

    const QByteArray baGeometry = g_settings.GetFrameGeometry();
    if (baGeometry.isEmpty())
        resize(1150, 650);
    else
        restoreGeometry(baGeometry);

    QWidget* pCentral = new QWidget(this);
    pCentral->setStyleSheet(QStringLiteral("background-color: black;"));
    QGridLayout* pGrid = new QGridLayout(pCentral);
    pGrid->setContentsMargins(2, 2, 2, 2);
    pGrid->setSpacing(2);
    for (int i = 0; i < CHANNEL_COUNT; ++i)
    {
        m_apPreview[i] = new CChannelPreview(pCentral);
        pGrid->addWidget(m_apPreview[i], i / 3, i % 3);
    }
    setCentralWidget(pCentral);

    connect(this, &CVistrel::signalShowUp, this, &CVistrel::OnShowUp, Qt::QueuedConnection);

    OpenChannels();
}

// The engine is already shut down here, so nothing below may need it.
CVistrel::~CVistrel() = default;

void CVistrel::OpenChannels()
{
    for (int i = 0; i < CHANNEL_COUNT; ++i)
    {
        const int nDevice = g_settings.GetChannelDevice(i);
        if (nDevice == -1)
            continue;
        CChannelPreview* pPreview = m_apPreview[i];
        const bool bOpen = g_capture.OpenChannel(i, nDevice, pPreview->GetWindowHandle());
        const bool bStarted = bOpen && g_capture.GetChannel(i)->IsStarted();
        if (!bStarted)
        {
            Platform::DebugOutput(QStringLiteral("Vistrel: channel %1 (device %2) did not start")
                                      .arg(i)
                                      .arg(nDevice));
            pPreview->SetBusy(true);
        }
    }
}

void CVistrel::UpdateRenderers()
{
    for (int i = 0; i < CHANNEL_COUNT; ++i)
    {
        CKVChannel* pChannel = g_capture.GetChannel(i);
        if (pChannel && pChannel->IsOpen())
            pChannel->UpdateRenderer();
    }
}

void CVistrel::OnShowUp()
{
    if (isMaximized())
        showMaximized();
    else
        showNormal();
    raise();
    activateWindow();
    Platform::DebugOutput(QStringLiteral("Vistrel: brought to the front"));
}

void CVistrel::keyPressEvent(QKeyEvent* pEvent)
{
    // Keys that reach the main window are consumed, so that none of them
    // closes or changes it by accident.
    Q_UNUSED(pEvent);
}

void CVistrel::paintEvent(QPaintEvent* pEvent)
{
    UpdateRenderers();
    QMainWindow::paintEvent(pEvent);
}

void CVistrel::moveEvent(QMoveEvent* pEvent)
{
    UpdateRenderers();
    QMainWindow::moveEvent(pEvent);
}

void CVistrel::resizeEvent(QResizeEvent* pEvent)
{
    UpdateRenderers();
    QMainWindow::resizeEvent(pEvent);
}

void CVistrel::closeEvent(QCloseEvent* pEvent)
{
    // No session can run yet, so there is nothing to confirm or to stop. The
    // projection windows will be closed here once they exist.
    QMainWindow::closeEvent(pEvent);
}
