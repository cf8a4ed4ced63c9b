#include "shell/replay_setup.h"

#include "model/netaddr.h"
#include "protocol/pd.h"

bool replay_setup(const ReplayOptions& options) {
    netaddr_startup();
    (void)options;
    return true;
}

const char* protocol_name(const ProtocolNode* node) { return node ? node->name : "?"; }
