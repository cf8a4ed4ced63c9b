#include "base/timer.h"

// Everything is inline in the header: the frame ring and the refresh ask it of every
// frame and every busy record.
