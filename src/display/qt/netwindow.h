// The network window: the child of the main window that shows the map. The
// capture-and-draw thread renders into the window's off-screen image (display_draw,
// installed as the capture pass's draw hook) and posts a repaint; the paint copies the
// image to the screen under the drawing lock and applies zoom and font changes, which
// therefore show from the next frame on.
//
// Messages it takes, as events posted to it (ui/window_messages.h):
//   kMsgZoomRect (1026): a NetZoomEvent with a rectangle in percent of the Zoom Box
//       overview, y downward (post_zoom()).
//   kMsgFontChange (1027): a plain QEvent of that type; the font scale changed
//       (post_font_changed()).
// What it sends, as Q_SIGNALS:
//   aspectChanged(percent): kMsgMapAspect (1025), to the Zoom Box after each resize.
//   painted(): after each paint, so the Zoom Box overview repaints.
//
// One network window exists at a time: the drawing library has one image.
#pragma once

#include <QEvent>
#include <QWidget>

#include "display/netview.h"
#include "ui/window_messages.h"

// The zoom message with its rectangle.
class NetZoomEvent : public QEvent {
public:
    explicit NetZoomEvent(const ZoomRect& rect) : QEvent(QEvent::Type(kMsgZoomRect)), rect_(rect) {}
    [[nodiscard]] const ZoomRect& rect() const { return rect_; }

private:
    ZoomRect rect_;
};

class NetWindow : public QWidget {
    Q_OBJECT
public:
    // The off-screen image gets image_size, or the primary screen's size when empty.
    // The drawing library must be open (setdevice, opendevice) and the font loaded.
    // From construction on, display_draw() renders into this window and asks it to
    // repaint; the destructor stops that.
    explicit NetWindow(QWidget* parent = nullptr, QSize image_size = QSize());
    ~NetWindow() override;

    // Post the two messages (from any thread).
    static void post_zoom(NetWindow* window, int x0, int y0, int x1, int y1);
    static void post_font_changed(NetWindow* window);

    [[nodiscard]] NetView& view() { return view_; }

Q_SIGNALS:
    void aspectChanged(int percent);
    void painted();

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    static void request_repaint(void* self);
    void apply_size(int width, int height);

    NetView view_;
};
