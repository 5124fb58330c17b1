// The native stand-in for the system's library loader, so that the plug-in rules run under
// the sanitizers: a plug-in "library" is any file whose name was registered here with a set
// of in-process exports, and memory blocks are counted so that tests see every leak.
#pragma once

#include <cstdint>
#include <string>

#include "loading/plugin.h"

// Files named `file_name` (in any folder) load as a plug-in with these exports.
void plugin_native_register(const std::u16string& file_name, const PluginExports& exports);
void plugin_native_clear_registry();

// A local-memory block as a plug-in makes it (the bytes are copied).
OsHandle plugin_native_alloc(const void* data, uint64_t size);
// A global-memory block (the picture-info text handle).
OsHandle plugin_native_global_alloc(uint64_t size);

int plugin_native_live_blocks();
int plugin_native_loaded_modules();
