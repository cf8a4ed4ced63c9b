#include "base/message.h"

#include <cstdio>
#include <mutex>

namespace {

std::mutex g_sink_mutex;

void default_sink(const std::string& title, const std::string& text, MessageIcon) {
    std::fprintf(stderr, "%s: %s\n", title.c_str(), text.c_str());
}

MessageSink& sink() {
    static MessageSink s = default_sink;
    return s;
}

}  // namespace

void message_show(const char* title, const char* text, MessageIcon icon) {
    MessageSink s;
    {
        std::lock_guard<std::mutex> lock(g_sink_mutex);
        s = sink();
    }
    if (s) s(title ? title : "", text ? text : "", icon);
}

MessageSink message_set_sink(MessageSink s) {
    std::lock_guard<std::mutex> lock(g_sink_mutex);
    MessageSink old = std::move(sink());
    sink() = s ? std::move(s) : MessageSink(default_sink);
    return old;
}
