#pragma once
#include <string>

// The primary screen's width in device pixels (not scaled for DPI); the core
// picks the large-picture size from it.
int PrimaryScreenWidth();

// The user's application-data folder (UTF-8, from APPDATA), without a
// trailing separator; empty when unset.
std::string AppDataFolder();
