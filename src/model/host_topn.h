// Top hosts: hosts ranked by total bytes sent; label is the name or address text.
#pragma once

#include "model/topn.h"

[[nodiscard]] TopList* host_topn_create();
// topn_offer for a list made by host_topn_create, with its operations inline: the
// per-frame path offers every frame's hosts to it.
struct Host;
void host_topn_offer(TopList* list, Host* host);
