// A widget the media layer draws into: it registers for its native window id,
// keeps its client rectangle and screen readable from the media threads, and
// paints the last picture handed to it. The channel windows, the preview and
// the projection windows derive from it.
#pragma once

#include "media/KVRenderTarget.h"
#include "ui/windows/CDirectPresenter.h"

#include <QImage>
#include <QPainter>
#include <QPointer>
#include <QWidget>

#include <atomic>
#include <memory>
#include <mutex>

class CRenderWidget : public QWidget
{
    Q_OBJECT

public:
    explicit CRenderWidget(QWidget* pParent = nullptr);
    ~CRenderWidget() override;

    // The id renderers are created for. Stable for the widget's life unless
    // it is moved to another top-level window (then the id changes and the
    // registration follows).
    KVS_WINDOW GetWindowHandle() const { return m_hWnd; }

    // The same values the media layer reads; any thread.
    KVS_RECT GetClientRect() const { return m_target.GetClientRect(); }
    bool IsShownToUser() const { return m_target.IsShown(); }
    QString GetScreenKey() const { return m_target.GetScreenKey(); }

    // Whether pictures keep their aspect ratio in the widget (the default,
    // for boxes whose shape the user does not choose) or fill their
    // rectangle exactly (where the user sets the rectangle's shape).
    void SetKeepAspectRatio(bool bKeep) { m_target.SetKeepAspectRatio(bKeep); }

    // Whether a picture has arrived since the widget was created or cleared.
    bool HasPicture() const;
    // Forgets the last picture, so that the widget shows black again.
    void ClearPicture();

    // Paints the picture that arrived last: only its own rectangle, unless it
    // moved or changed size since the last one.
    void RepaintPicture();

    static QString MakeScreenKey(const QScreen* pScreen);
    // Where a picture of sizePicture goes in rcTarget: as large as fits with
    // its aspect ratio kept, centred.
    static QRect FitRect(const QRect& rcTarget, const QSize& sizePicture);

protected:
    // What shows where no picture is; black unless a window has its own.
    virtual void PaintBackground(QPainter& painter);
    // Where pictures may go straight to the display, past paintEvent: the
    // whole widget unless a window paints something over its pictures.
    // Call UpdateDirectArea() when the answer changes.
    virtual QRect DirectArea() const { return rect(); }
    void UpdateDirectArea();
    // For the window the mixer draws at every output frame: see
    // CDirectPresenter::SetPacemaker().
    void SetDirectPacemaker(bool bPacemaker);

    bool event(QEvent* pEvent) override;
    void paintEvent(QPaintEvent* pEvent) override;
    void resizeEvent(QResizeEvent* pEvent) override;
    void moveEvent(QMoveEvent* pEvent) override;
    void showEvent(QShowEvent* pEvent) override;
    void hideEvent(QHideEvent* pEvent) override;

private:
    // The registered object is a member rather than the widget itself: its
    // type never changes while it is registered, whereas a widget's dynamic
    // type changes while derived classes are built and torn down, which a
    // media thread calling in at that moment would race with.
    class CTarget final : public IKVRenderTarget
    {
    public:
        explicit CTarget(CRenderWidget* pOwner)
            : m_pOwner(pOwner)
        {
        }
        KVS_RECT GetClientRect() const override;
        QString GetScreenKey() const override;
        void PresentFrame(const QImage& image, const KVS_RECT& rcTarget) override;
        bool KeepsAspectRatio() const override { return m_bKeepAspect.load(); }
        bool IsShown() const override { return m_bShown.load(); }

        void SetKeepAspectRatio(bool bKeep) { m_bKeepAspect = bKeep; }
        void SetShown(bool bShown) { m_bShown = bShown; }
        void SetGeometry(const KVS_RECT& rcClient, const QString& strScreenKey);
        // Only while no media thread can present: before registering, and
        // after unregistering.
        void SetDirectPresenter(std::unique_ptr<CDirectPresenter> pPresenter);
        void SetDirectArea(const QRect& rcArea);
        void SetPacemaker(bool bPacemaker);
        // Draws under the lock: the picture is never shared with the user-
        // interface thread, so only the media thread ever releases it.
        void Paint(QPainter& painter);
        // Where the last picture goes; empty without one.
        QRect PictureRect() const;
        bool HasPicture() const;
        void ClearPicture();
        // Whether the picture moved, changed size or went since the last
        // call: the area around it then needs painting too.
        bool TakeFrameChanged() { return m_bFrameChanged.exchange(false); }

    private:
        QRect PictureRectLocked() const;

        CRenderWidget* const m_pOwner;
        // A standard mutex, so that thread checkers see the media threads and
        // the user-interface thread take turns.
        mutable std::mutex m_mutex;
        KVS_RECT m_rcClient{0, 0, 0, 0};
        QString m_strScreenKey;
        QImage m_image;
        KVS_RECT m_rcTarget{0, 0, 0, 0};
        // Null where pictures can only go through paintEvent.
        std::unique_ptr<CDirectPresenter> m_pDirect;
        QRect m_rcDirectArea;
        // One queued repaint at a time, however fast frames arrive.
        std::atomic<bool> m_bUpdatePending{false};
        std::atomic<bool> m_bFrameChanged{true};
        std::atomic<bool> m_bKeepAspect{true};
        // Kept by the user-interface thread from show and hide events, which
        // also arrive when the window is minimised or its tab goes to the
        // background, so that the media threads need not ask the widget.
        std::atomic<bool> m_bShown{false};
    };

    // Queued by the media thread for each new picture; the repaint waits
    // for the batch (CRepaintBatch.h).
    Q_INVOKABLE void OnPictureArrived();

    void Register();
    void Unregister();
    void UpdateGeometry();
    void WatchScreen();

    CTarget m_target;
    KVS_WINDOW m_hWnd = 0;
    bool m_bPacemaker = false;
    QPointer<QWindow> m_pWatchedWindow;
};
