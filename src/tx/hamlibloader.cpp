#include "tx/hamlibloader.h"

#include <QLibrary>

const char* const kHamlibLibrary = "libhamlib.so.4";

namespace {

struct Loaded {
    QLibrary library{QString::fromLatin1(kHamlibLibrary)};
    HamlibApi api{};
    QString problem;
    bool ok = false;

    template <typename Function> bool resolve(Function& function, const char* name) {
        function = reinterpret_cast<Function>(library.resolve(name));
        if (!function)
            problem = QStringLiteral("%1 has no function %2: the Hamlib installed is not the one "
                                     "Tavrin was built for")
                          .arg(QString::fromLatin1(kHamlibLibrary), QString::fromLatin1(name));
        return function != nullptr;
    }

    Loaded() {
        if (!library.load()) {
            problem =
                QStringLiteral("Hamlib is needed for this keying: %1").arg(library.errorString());
            return;
        }
        ok = resolve(api.init, "rig_init") && resolve(api.open, "rig_open") &&
             resolve(api.close, "rig_close") && resolve(api.cleanup, "rig_cleanup") &&
             resolve(api.setConf, "rig_set_conf") && resolve(api.tokenLookup, "rig_token_lookup") &&
             resolve(api.setPtt, "rig_set_ptt") && resolve(api.getPtt, "rig_get_ptt") &&
             resolve(api.setCacheTimeoutMs, "rig_set_cache_timeout_ms") &&
             resolve(api.error, "rigerror2") && resolve(api.setDebug, "rig_set_debug") &&
             resolve(api.loadAllBackends, "rig_load_all_backends") &&
             resolve(api.listForeach, "rig_list_foreach");
        if (ok)
            api.setDebug(RIG_DEBUG_NONE);
    }
};

} // namespace

const HamlibApi* hamlib(QString* problem) {
    // Loaded by the first caller, whichever thread it is on; QLibrary's destructor leaves the
    // library mapped.
    static const Loaded loaded;
    if (!loaded.ok && problem)
        *problem = loaded.problem;
    return loaded.ok ? &loaded.api : nullptr;
}
