#include "shell/replay_setup.h"

#include <cstdio>

#include "model/names/hostc.h"
#include "model/names/names.h"
#include "base/netaddr.h"
#include "protocol/pd.h"
#include "protocol/pdl.h"

namespace {

// The name service's tables, then the local names and manufacturers files named in
// the options. A file named but not readable is an error for the tool.
bool read_name_files(const ReplayOptions& options) {
    hostc_init();
    if (!options.ethers.empty() && ethers_read(options.ethers.c_str()) != 0) {
        std::fprintf(stderr, "hopscope-replay: cannot read ethers file %s\n", options.ethers.c_str());
        return false;
    }
    if (!options.manufacturers.empty()) {
        FILE* f = std::fopen(name_file_path(options.manufacturers.c_str()).c_str(), "rb");
        if (!f) {
            std::fprintf(stderr, "hopscope-replay: cannot read manufacturers file %s\n", options.manufacturers.c_str());
            return false;
        }
        std::fclose(f);
        manf_read(options.manufacturers.c_str());
    }
    return true;
}

}  // namespace

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
    return read_name_files(options);
}

const char* protocol_name(const ProtocolNode* node) { return node ? node->name : "?"; }
