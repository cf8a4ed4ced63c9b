// Top links: links ranked by total bytes; label "source, destination" (239 characters
// at most), each side labelled as in top hosts.
#pragma once

#include "model/topn.h"

inline constexpr int kLinkLabelMax = 239;

[[nodiscard]] TopList* link_topn_create();
