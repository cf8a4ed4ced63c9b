// The start-up steps that need Qt Gui: the drawing library, the stroke font, the map's
// colours and drawing, and the Statistics panel's refresh notice. Installed into the
// start-up step table before start-up runs.
#pragma once

void shell_gui_steps_install();
