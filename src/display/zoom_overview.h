// The Zoom Box overview image: the render pass marks every node it draws on it
// (zoom_overview_mark, installed with display_set_mark_node), and the Zoom Box's paint
// takes what was marked into its display image and clears the overview for the next
// frame.
//
// Threads and locks: marks come from the capture-and-draw thread inside render_map,
// which holds the drawing lock (GraphicsLock); zoom_overview_take and
// zoom_overview_resize take the same lock, so the paint and a render pass never touch
// the image at once and the paint always sees whole frames. The overview lives as long
// as the process (the capture thread may be marking when the Zoom Box goes).
//
// Qt Gui only (QImage); no widgets.
#pragma once

#include <QImage>

// A new overview of `width` x `height` pixels, black, with nothing marked. Takes the
// drawing lock.
void zoom_overview_resize(int width, int height);

// Marks a node of centre (x, y) and radius r (world units): a white filled ellipse in
// the box zoom_mark_box gives (display/zoom.h). The caller holds the drawing lock (the
// render pass does). Does nothing while the overview has no size.
void zoom_overview_mark(double x, double y, double r);

// Copies the overview into `display` (made the overview's size when it differs) and
// clears the overview to black. Takes the drawing lock.
void zoom_overview_take(QImage* display);

// Makes zoom_overview_mark the render pass's mark-node hook, or removes it.
void zoom_overview_install(bool on);

// Marks made since the process started (tests and diagnostics).
[[nodiscard]] unsigned long zoom_overview_marks();
