#include "model/names/hostc.h"

#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "base/memory.h"
#include "model/names/q.h"

namespace {

// A manual-reset event: stays signalled until reset.
class ManualResetEvent {
public:
    void set() {
        std::lock_guard lock(mutex_);
        signalled_ = true;
        cv_.notify_all();
    }
    void reset() {
        std::lock_guard lock(mutex_);
        signalled_ = false;
    }
    void wait() {
        std::unique_lock lock(mutex_);
        cv_.wait(lock, [this] { return signalled_; });
    }

private:
    std::mutex mutex_;
    std::condition_variable cv_;
    bool signalled_ = false;
};

struct NamedMutex {
    const char* const name;
    std::mutex lock;
};

// The name service's state.
struct HostcState {
    // The queue lock. It guards the queue only, for one put or one take at a time.
    NamedMutex queue_mutex{"Hostc mutex", {}};
    RequestQueue* queue = nullptr;  // guarded by queue_mutex

    ManualResetEvent request_event;
    std::atomic<bool> stop{false};
    std::atomic<const NameEntry*> last_answer{nullptr};

    HashTable* resolver_names = nullptr;      // guarded by names_lock()
    HashTable* resolver_addresses = nullptr;  // guarded by names_lock()

    std::mutex resolver_mutex;
    SystemResolver resolver;  // guarded by resolver_mutex
    bool resolver_set = false;

    // The most recent name the system resolver had no answer for. Resolver thread only.
    std::string last_failed_name;
};
HostcState g_hostc;

std::string cut_at_space(const std::string& text) { return text.substr(0, text.find(' ')); }

SystemResolver current_resolver() {
    std::lock_guard lock(g_hostc.resolver_mutex);
    if (!g_hostc.resolver_set) {
        g_hostc.resolver = hostc_system_resolver();
        g_hostc.resolver_set = true;
    }
    return g_hostc.resolver;
}

// The entry's private copy of an answer: names cut at their first space, and only the
// addresses that have the answer's stated length.
HostRecord* copy_record(const HostRecord& answer) {
    auto* r = new_or_die<HostRecord>();
    r->official_name = cut_at_space(answer.official_name);
    for (const std::string& alias : answer.aliases) {
        std::string a = cut_at_space(alias);
        if (!a.empty()) r->aliases.push_back(a);
    }
    r->address_type = answer.address_type;
    r->address_length = answer.address_length;
    for (const auto& a : answer.addresses)
        if (int(a.size()) == answer.address_length) r->addresses.push_back(a);
    return r;
}

NameEntry* new_entry(const NetAddress* address) {
    auto* e = new_or_die<NameEntry>();
    if (address && address->type) netaddr_copy(&e->address, address);
    else netaddr_init(&e->address, g_frame_address_type);
    return e;
}

// An entry named by the address's own text form.
NameEntry* entry_named_by_address(const NetAddress* address) {
    NameEntry* e = new_entry(address);
    e->name = netaddr_to_text(&e->address);
    return e;
}

// Kind 0: the entry for a name the system resolver answered.
NameEntry* entry_for_name_answer(const HostRecord& answer, const std::string& requested,
                                 const SystemResolver& resolver) {
    NameEntry* e = new_entry(nullptr);
    e->resolver_answer = copy_record(answer);
    const std::string& official = e->resolver_answer->official_name;
    const std::string name = official.empty() ? cut_at_space(requested) : official;
    if (!name.empty()) e->name = text_dup_or_die(name.c_str());
    e->address_known = false;
    if (resolver.station_of && e->address.type && e->address.type->index == kEtherType) {
        for (const auto& a : e->resolver_answer->addresses) {
            uint8_t ether[kEtherAddrLen];
            if (resolver.station_of(a.data(), int(a.size()), e->resolver_answer->address_type, ether)) {
                std::memcpy(e->address.storage, ether, kEtherAddrLen);
                e->address_known = true;
                break;
            }
        }
    }
    return e;
}

// Kind 1 for an address of a type other than Ethernet: the system resolver's address
// lookup.
NameEntry* entry_for_address(const NetAddress* address, const SystemResolver& resolver) {
    NameEntry* e = new_entry(address);
    const int size = e->address.type ? e->address.type->size : 0;
    const int family = size == 16 ? 10 : 2;
    HostRecord answer;
    if (size > 0 && resolver.by_address && resolver.by_address(e->address.storage, size, family, &answer)) {
        e->resolver_answer = copy_record(answer);
        const HostRecord& r = *e->resolver_answer;
        // The answer's first address, when it fits the entry's address type.
        if (!r.addresses.empty() && r.address_length == size) {
            uint8_t storage[kAddressStorage] = {};
            std::memcpy(storage, r.addresses.front().data(), size_t(size));
            e->address.type->copy(e->address.storage, storage);
        }
        if (!r.official_name.empty()) e->name = text_dup_or_die(r.official_name.c_str());
    }
    if (!e->name) e->name = netaddr_to_text(&e->address);
    return e;
}

void set_if_absent(HashTable* table, const void* key, NameEntry* e) {
    if (!hashtable_lookup(table, key, nullptr)) hashtable_set(table, key, e);
}

// Files a new entry so that the next request for it is answered from the tables.
void file_entry(NameEntry* e, const std::string& requested) {
    std::unique_lock lock(names_lock());
    if (e->resolver_answer) {
        const HostRecord& r = *e->resolver_answer;
        if (!r.official_name.empty()) hashtable_set(g_hostc.resolver_names, r.official_name.c_str(), e);
        for (const std::string& alias : r.aliases) set_if_absent(g_hostc.resolver_names, alias.c_str(), e);
        if (!requested.empty()) set_if_absent(g_hostc.resolver_names, requested.c_str(), e);
        if (e->address_known) set_if_absent(g_hostc.resolver_addresses, &e->address, e);
        return;
    }
    if (!e->address.type) return;
    if (e->address.type->index == kEtherType) {
        hashtable_set(local_names_by_address(), &e->address, e);
        if (e->name) hashtable_set(local_names_by_text(), e->name, e);
    } else {
        hashtable_set(g_hostc.resolver_addresses, &e->address, e);
    }
}

void handle_request(ResolveRequest* r) {
    if (!r) {
        std::fputs("hostc_resolve:                         NULL request received from queue\n", stderr);
        return;
    }
    const SystemResolver resolver = current_resolver();
    const NameEntry* answer = nullptr;
    NameEntry* made = nullptr;
    int kind = r->kind;
    // The system resolver cannot look up a hardware address: an Ethernet address is
    // answered from the local names, as a kind 2 request.
    if (kind == kRequestByAddress && r->address.type && r->address.type->index == kEtherType) kind = kRequestByEther;
    switch (kind) {
        case kRequestByName:
            answer = hostc_find_name(r->name.c_str());
            if (!answer && r->name != g_hostc.last_failed_name) {
                HostRecord result;
                if (resolver.by_name && resolver.by_name(r->name.c_str(), &result))
                    made = entry_for_name_answer(result, r->name, resolver);
                else
                    g_hostc.last_failed_name = r->name;
            }
            break;
        case kRequestByAddress:
            answer = hostc_find_address(&r->address);
            if (!answer) made = entry_for_address(&r->address, resolver);
            break;
        case kRequestByEther:
            answer = local_name_by_address(&r->address);
            if (!answer) made = entry_named_by_address(&r->address);
            break;
        default:
            std::fputs("hostc_resolve:                                     Request type invalid\n", stderr);
            break;
    }
    if (made) {
        file_entry(made, kind == kRequestByName ? cut_at_space(r->name) : std::string());
        answer = made;
    }
    if (r->reply) r->reply(answer, r->user_data, r->extra);
    g_hostc.last_answer.store(answer);
    delete r;
}

ResolveRequest* new_request(int kind, HostcReply reply, void* user_data, void* extra) {
    auto* r = new_or_die<ResolveRequest>();
    r->kind = kind;
    r->reply = reply;
    r->user_data = user_data;
    r->extra = extra;
    return r;
}

int request_address(int kind, const NetAddress* address, HostcReply reply, void* user_data, void* extra) {
    if (!address) return 0;
    ResolveRequest* r = new_request(kind, reply, user_data, extra);
    netaddr_copy(&r->address, address);
    return hostc_enqueue(r);
}

}  // namespace

SystemResolver hostc_set_resolver(SystemResolver resolver) {
    std::lock_guard lock(g_hostc.resolver_mutex);
    SystemResolver old = g_hostc.resolver_set ? std::move(g_hostc.resolver) : hostc_system_resolver();
    g_hostc.resolver = std::move(resolver);
    g_hostc.resolver_set = true;
    return old;
}

void hostc_init() {
    HashTable* names = hashtable_create(names_text_hash, hashtable_text_compare, hashtable_text_copy, nullptr);
    HashTable* addresses = hashtable_create(netaddr_hash_key, netaddr_compare_key, netaddr_copy_key, nullptr);
    {
        std::unique_lock lock(names_lock());
        g_hostc.resolver_names = names;
        g_hostc.resolver_addresses = addresses;
    }
    local_names_create();
    g_hostc.last_answer.store(nullptr);
    RequestQueue* queue = queue_create();
    {
        std::lock_guard lock(g_hostc.queue_mutex.lock);
        g_hostc.queue = queue;
    }
    g_hostc.request_event.reset();
    g_hostc.stop.store(false);
}

const NameEntry* hostc_find_name(const char* text) {
    if (!text) return nullptr;
    void* value = nullptr;
    std::shared_lock lock(names_lock());
    hashtable_lookup(g_hostc.resolver_names, text, &value);
    return static_cast<const NameEntry*>(value);
}

const NameEntry* hostc_find_address(const NetAddress* address) {
    if (!address) return nullptr;
    void* value = nullptr;
    std::shared_lock lock(names_lock());
    hashtable_lookup(g_hostc.resolver_addresses, address, &value);
    return static_cast<const NameEntry*>(value);
}

HostRef* hostc_ref_create() {
    auto* ref = new_or_die<HostRef>();
    netaddr_init(&ref->address, g_frame_address_type);
    return ref;
}

void hostc_ref_destroy(HostRef* ref) {
    if (!ref) return;
    std::free(ref->name);
    delete ref;
}

int hostc_enqueue(ResolveRequest* request) {
    int queued;
    {
        std::lock_guard lock(g_hostc.queue_mutex.lock);
        queued = queue_put(g_hostc.queue, request);
    }
    if (!queued) {
        delete request;
        return 0;
    }
    g_hostc.request_event.set();
    return 1;
}

int hostc_request_text(const char* text, HostcReply reply, void* user_data, void* extra) {
    if (!text) return 0;
    if (std::strchr(text, ':')) {
        NetAddress address;
        netaddr_init(&address, g_frame_address_type);
        netaddr_parse(&address, text);
        return request_address(kRequestByAddress, &address, reply, user_data, extra);
    }
    ResolveRequest* r = new_request(kRequestByName, reply, user_data, extra);
    r->name = text;
    return hostc_enqueue(r);
}

int hostc_request_address(const NetAddress* address, HostcReply reply, void* user_data, void* extra) {
    return request_address(kRequestByAddress, address, reply, user_data, extra);
}

int hostc_request_ether(const NetAddress* address, HostcReply reply, void* user_data, void* extra) {
    return request_address(kRequestByEther, address, reply, user_data, extra);
}

int hostc_resolve_rec_process(const HostRef* ref, HostcReply reply, void* user_data, void* extra) {
    if (!ref) return 0;
    switch (ref->kind) {
        case kRequestByName: return hostc_request_text(ref->name, reply, user_data, extra);
        case kRequestByAddress: return hostc_request_address(&ref->address, reply, user_data, extra);
        case kRequestByEther: return hostc_request_ether(&ref->address, reply, user_data, extra);
        default:
            std::fputs("hostc_resolve_rec_process: invalid                             request\n", stderr);
            return -1;
    }
}

int hostc_answer_queued() {
    int answered = 0;
    for (;;) {
        ResolveRequest* r = nullptr;
        int taken;
        {
            std::lock_guard lock(g_hostc.queue_mutex.lock);
            taken = queue_take(g_hostc.queue, &r);
        }
        if (!taken) return answered;
        handle_request(r);
        ++answered;
    }
}

void hostc_resolve() {
    g_hostc.last_failed_name.clear();
    for (;;) {
        g_hostc.request_event.wait();
        // Cleared before draining: a request put in while the thread drains is either
        // taken by this drain or sets the event again for the next one.
        g_hostc.request_event.reset();
        (void)hostc_answer_queued();
        if (g_hostc.stop.load()) return;
    }
}

void hostc_stop() {
    g_hostc.stop.store(true);
    g_hostc.request_event.set();
}

const NameEntry* hostc_last_answer() { return g_hostc.last_answer.load(); }
