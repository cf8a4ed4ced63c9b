// The Palette Editor dialog: the 33 palette colours as boxes; clicking one selects it
// (an inverted frame round it) and its red, green and blue show on three sliders, top
// at full intensity. Moving a slider changes the colour at once: the palette, the map's
// colour map and the logical palette (display/focus_edit.h: palette_edit), and every
// window that shows palette colours repaints. OK and Cancel both close; the edits stay
// either way and are saved with the focus file at exit.
//
// Threads: window thread.
#pragma once

#include <QDialog>
#include <QSlider>

class QPushButton;

class PaletteEditor : public QDialog {
    Q_OBJECT
public:
    explicit PaletteEditor(QWidget* parent = nullptr);

    [[nodiscard]] int selected() const { return selected_; }
    [[nodiscard]] QSlider* slider(int channel) const { return sliders_[channel]; }
    [[nodiscard]] QWidget* box(int index) const { return boxes_[index]; }
    [[nodiscard]] QPushButton* button(const QString& text) const;
    // Selects box `index` (the box's click).
    void select(int index);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void on_action(int channel, int action);
    void on_released(int channel);
    void apply(int channel, int value);

    int selected_ = -1;
    QSlider* sliders_[3] = {};
    QWidget* boxes_[33] = {};
};

// Runs the Palette Editor, modal, over `owner`.
void palette_editor_run(QWidget* owner);
