// What the display panels share: a panel is a child window with a group-box frame whose
// caption names it, on the menu colour, with text in Arial 13.
#pragma once

#include <QFont>
#include <QGroupBox>
#include <QWidget>

// Arial with a character cell `height` pixels high (fontconfig finds a metric-compatible
// face).
[[nodiscard]] QFont panel_font(int height = 13, bool bold = false, bool italic = false);

// The colour of the system menu, the panels' background.
[[nodiscard]] QColor panel_menu_colour();

// A panel: a group box with a caption on the menu colour. Content widgets are the
// panel's other children, placed by place_content at every resize.
class PanelBox : public QWidget {
    Q_OBJECT
public:
    PanelBox(const char* object_name, const QString& caption, QWidget* parent);

    [[nodiscard]] QGroupBox* frame() const { return frame_; }
    void set_caption(const QString& caption) { frame_->setTitle(caption); }

protected:
    void resizeEvent(QResizeEvent* event) override;
    // The group box's place in a panel of `size`.
    [[nodiscard]] virtual QRect frame_rect(QSize size) const = 0;
    // The content's place at the current size.
    virtual void place_content() {}
    // Places the frame and the content again.
    void relayout();

private:
    QGroupBox* frame_;
};
