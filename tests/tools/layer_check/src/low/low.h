// Lowest floor: includes a higher one (reported).
#include <vector>
#include "mid/mid.h"
