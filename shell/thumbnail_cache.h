// The thumbnail cache beside the settings file.
#pragma once

void compact_thumbnail_cache_index();
