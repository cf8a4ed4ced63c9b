// Top links: links ranked by total bytes; label "source, destination" (239 characters
// at most), each side labelled as in top hosts.
#pragma once

#include "model/topn.h"

inline constexpr int kLinkLabelMax = 239;

[[nodiscard]] TopList* link_topn_create();
// topn_offer for a list made by link_topn_create, with its operations inline: the
// per-frame path offers every frame's link to it.
struct Link;
void link_topn_offer(TopList* list, Link* link);
