#pragma once
#include <string>

// The first-run marker: "ostrel_quarn\vorlane.db" below the user's
// application-data folder, section "vorlane", key "runonce".

// 1 when the marker below appDataFolder is missing or 0 (and writes it),
// 0 when it is set. An empty folder counts as a first run and writes nothing.
int CheckFirstRun(const std::wstring& appDataFolder);
// CheckFirstRun on the shell's application-data folder, asked once per
// process; later calls return the first answer.
int IsFirstRun();
