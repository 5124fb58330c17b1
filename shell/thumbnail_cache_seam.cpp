// Stands in for the thumbnail cache until it is built: there is no index to compact.
#include "shell/thumbnail_cache.h"

void compact_thumbnail_cache_index() {}
