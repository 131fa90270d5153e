#pragma once

#include <QString>

#include <hamlib/rig.h>

// Hamlib's functions, taken from its shared library the first time a rig is used. Most stations
// key a serial port or VOX and never need Hamlib: it is not linked, so its pages (and those of
// the libraries it pulls in) are only mapped once a rig is chosen or the rig dialogs open.
struct HamlibApi {
    decltype(&::rig_init) init;
    decltype(&::rig_open) open;
    decltype(&::rig_close) close;
    decltype(&::rig_cleanup) cleanup;
    decltype(&::rig_set_conf) setConf;
    decltype(&::rig_token_lookup) tokenLookup;
    decltype(&::rig_set_ptt) setPtt;
    decltype(&::rig_get_ptt) getPtt;
    decltype(&::rig_set_cache_timeout_ms) setCacheTimeoutMs;
    decltype(&::rigerror2) error;
    decltype(&::rig_set_debug) setDebug;
    decltype(&::rig_load_all_backends) loadAllBackends;
    decltype(&::rig_list_foreach) listForeach;
};

// The file the functions come from, as failure messages name it.
extern const char* const kHamlibLibrary;

// Loads the library once (thread-safe) and keeps it until the process ends: a rig thread left
// hanging in a Hamlib call must never find its code unmapped. Null when the library or one of its
// functions is missing; `problem` then says which and why.
const HamlibApi* hamlib(QString* problem = nullptr);
