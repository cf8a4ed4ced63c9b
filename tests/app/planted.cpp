// A plugin that a user plants in QT_PLUGIN_PATH. When a program loads it, it writes the
// capabilities the process holds into $HS_PLANTED_OUT/<pid> and ends the process: the
// planted_plugin test reads them. Built twice: as an image format plugin (format "png",
// which the map's PNG writer looks for) and as a generic plugin (QT_QPA_GENERIC_PLUGINS,
// which the program's start loads).
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>

#ifdef PLANTED_GENERIC
#include <QtGui/QGenericPlugin>
#else
#include <QtGui/QImageIOPlugin>
#endif

namespace {

__attribute__((constructor)) void report_capabilities() {
    const char* dir = std::getenv("HS_PLANTED_OUT");
    if (!dir) return;
    std::ifstream status("/proc/self/status");
    std::string caps;
    for (std::string line; std::getline(status, line);)
        if (line.rfind("CapEff:", 0) == 0 || line.rfind("CapPrm:", 0) == 0) caps += line + "\n";
    {
        std::ofstream(std::string(dir) + "/" + std::to_string(::getpid())) << caps;
    }
    std::_Exit(0);  // the test needs nothing more of the program
}

}  // namespace

#ifdef PLANTED_GENERIC
class Planted : public QGenericPlugin {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID QGenericPluginFactoryInterface_iid FILE "planted.json")
public:
    QObject* create(const QString&, const QString&) override { return nullptr; }
};
#else
class Planted : public QImageIOPlugin {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID QImageIOHandlerFactoryInterface_iid FILE "planted.json")
public:
    Capabilities capabilities(QIODevice*, const QByteArray&) const override { return {}; }
    QImageIOHandler* create(QIODevice*, const QByteArray& = QByteArray()) const override { return nullptr; }
};
#endif

#include "planted.moc"
