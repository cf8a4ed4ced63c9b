// The program's start-up steps that need Qt Gui (the drawing library, the stroke font,
// the map's colours) and the capture pass's hooks (app/pass.h). Installed into the
// start-up step table over app_startup_steps() before start-up runs.
#pragma once

void app_install_program_steps();
