#include "shell/replay_setup.h"

#include <cstdio>

#include "model/netaddr.h"
#include "protocol/pd.h"
#include "protocol/pdl.h"

bool replay_setup(const ReplayOptions& options) {
    netaddr_startup();
    if (!options.protocols.empty()) {
        ProtocolNode* root = pdl_parse(options.protocols.c_str());
        if (!root) {
            std::fprintf(stderr, "hopscope-replay: %s gives no protocol tree\n", options.protocols.c_str());
            return false;
        }
        if (options.classify) pd_set_root(root);
    }
    return true;
}

const char* protocol_name(const ProtocolNode* node) { return node ? node->name : "?"; }
