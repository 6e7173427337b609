#pragma once
// Profile writes that must not interrupt the user (the recent-file list, a
// remembered option) say that they failed on standard error only:
// zorvattone: cannot write the file "PATH": REASON

#include <cstdio>

#include "settings/SettingsStore.h"

// After a SetString of `settings` that returned false.
inline void LogProfileWriteFailure(const CSettingsStore& settings)
{
    std::fprintf(stderr, "zorvattone: cannot write the file \"%s\": %s\n", settings.FilePath().c_str(),
                 settings.WriteError().c_str());
}
