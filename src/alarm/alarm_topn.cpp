// The top alarms list's accessors: alarms ranked by their count of firings.
#include "alarm/alarm.h"
#include "base/memory.h"
#include "model/topn.h"

namespace {

const Alarm* as_alarm(const void* item) { return static_cast<const Alarm*>(item); }

uint64_t key(const void* item) { return alarm_activation_count(*as_alarm(item)); }
int compare(const void* a, const void* b) { return topn_compare_keys(key(a), key(b)); }
int get_place(const void* item) { return as_alarm(item)->top_alarms_place; }
void set_place(void* item, int place) { static_cast<Alarm*>(item)->top_alarms_place = place; }
char* label(const void* item) { return text_dup_or_die(as_alarm(item)->notify.c_str()); }

}  // namespace

TopList* alarm_topn() { return topn_create(compare, get_place, set_place, label, key); }
