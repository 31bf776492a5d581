// Preview window of one capture channel (0..5), or of the composed output
// (6 and above). The engine's renderer hands it the pictures; until a channel
// has a running device it shows a blue placeholder, and a device that opened
// but would not start (usually held by another program) is shown as such.
// A double click toggles full screen.
#pragma once

#include "ui/windows/CRenderWidget.h"
#include "ui/windows/IVideoWndCallback.h"

#include <QString>

#include <cstdint>

class CVideoWnd : public CRenderWidget
{
    Q_OBJECT

public:
    enum
    {
        OUTPUT_CHANNEL = 6
    };

    CVideoWnd(int nChannel, QWidget* pParent);

    int GetChannel() const { return m_nChannel; }
    bool IsOutputWindow() const { return m_nChannel >= OUTPUT_CHANNEL; }

    // Set: the window paints its own blue background and forgets the last
    // picture. Clear: it shows what the renderer hands it.
    void SetPlaceholder(bool bPlaceholder);
    bool IsPlaceholder() const { return m_bPlaceholder; }
    // Written across the placeholder, so that a channel whose camera is gone
    // does not look like one that never had any; empty for none.
    void SetPlaceholderText(const QString& strText);

    // Null detaches; nValue is handed back with every callback.
    void SetCallback(IVideoWndCallback* pCallback, uint32_t nValue);

    // Out of full screen when in it, and into it otherwise.
    void ToggleFullScreen();
    // Back into the parent's layout; nothing when not full screen.
    void LeaveFullScreen();

    // Whether the window shows "Device being used": its channel is open but
    // the capture did not start.
    bool IsDeviceBusy() const;

    // A frame round the picture: red for a camera on air, green for one in
    // Preview, none otherwise (the values of Tally::EState).
    void SetTally(int eTally);
    int GetTally() const { return m_eTally; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* pEvent) override;
    QRect DirectArea() const override;
    void resizeEvent(QResizeEvent* pEvent) override;
    void moveEvent(QMoveEvent* pEvent) override;
    void mouseReleaseEvent(QMouseEvent* pEvent) override;
    void mouseDoubleClickEvent(QMouseEvent* pEvent) override;
    void keyPressEvent(QKeyEvent* pEvent) override;
    void closeEvent(QCloseEvent* pEvent) override;

private:
    // The tally's frame, inside the window's edges.
    static const int TALLY_WIDTH = 4;

    // Lets the engine's renderer follow the window's new geometry.
    void UpdateRenderer();
    void PaintDeviceBusy(QPainter& painter);
    void PaintCentredText(QPainter& painter, const QString& strText);
    void PaintTally();

    const int m_nChannel;
    bool m_bPlaceholder;
    QString m_strPlaceholderText;
    IVideoWndCallback* m_pCallback = nullptr;
    uint32_t m_nValue = 0;
    int m_eTally = 0;
};
