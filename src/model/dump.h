// The model as text: one record a line, fields separated by a tab, for the replay
// tool's --dump and the tests that compare a model with an expected one.
//
//   network  adapter name, host count, sum of the hosts' total frames, sum of their bytes
//   host     address, total frames sent, total bytes sent, local name, manufacturer
//   link     source address, destination address, total frames, total bytes
//   tally    source, destination, protocol path from the tally root joined by "/",
//            frames, bytes
//
// Hosts come in host-list order (ascending address); each host's links follow it in
// link-table order, each link's protocol tally follows the link, depth first. The
// caller holds the model lock shared, or is the model's only thread.
#pragma once

#include <cstdio>

struct Network;

void net_dump(std::FILE* out, const Network* network);
