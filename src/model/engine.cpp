#include "model/engine.h"

#include "base/file.h"
#include "base/netaddr.h"
#include "base/path.h"
#include "model/names/hostc.h"
#include "model/names/names.h"
#include "model/net.h"
#include "protocol/pd.h"
#include "protocol/pdl.h"

void engine_reset() {
    netaddr_startup();
    model_reset();
    pd_set_root(nullptr);
}

void engine_start_name_service() { hostc_init(); }

ProtocolNode* engine_load_protocols(const char* path, bool classify) {
    ProtocolNode* root = pdl_parse(path);
    if (root && classify) pd_set_root(root);
    return root;
}

EngineStatus engine_read_names(const char* ethers, const char* manufacturers, bool required) {
    if (ethers && ethers_read(ethers) != 0 && required) return EngineStatus::ethers_unreadable;
    if (manufacturers) {
        bool opened = false;
        manf_read(manufacturers, &opened);
        if (required && !opened) return EngineStatus::manufacturers_unreadable;
    }
    return EngineStatus::ok;
}

EngineStatus engine_start(const EngineOptions& o) {
    engine_reset();
    if (!o.protocols.empty() && !engine_load_protocols(o.protocols.c_str(), o.classify))
        return EngineStatus::no_protocol_tree;
    engine_start_name_service();
    auto named = [](const std::string& path) { return path.empty() ? nullptr : path.c_str(); };
    return engine_read_names(named(o.ethers), named(o.manufacturers), true);
}
