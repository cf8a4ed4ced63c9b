// Widgets in a qt/ folder, includes downward: fine.
#include <QWidget>
#include <QtWidgets/QLabel>
#include "mid/mid.h"
#include "generated/not_here.h"
