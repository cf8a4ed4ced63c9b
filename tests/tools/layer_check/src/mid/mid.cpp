// Includes its own folder and a lower floor (fine), a folder on its own floor (reported)
// and a widget outside qt/ (reported).
#include <QImage>
#include <QWidget>
#include "low/low.h"
#include "mid/mid.h"
#include "side/side.h"
