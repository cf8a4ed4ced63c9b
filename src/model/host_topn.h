// Top hosts: hosts ranked by total bytes sent; label is the name or address text.
#pragma once

#include "model/topn.h"

[[nodiscard]] TopList* host_topn_create();
