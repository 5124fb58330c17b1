// Native builds have no display: the memory DC is a token so that the start-up sequence runs
// the same way in tests.
#include "loading/codec_set.h"

OsHandle codec_platform_create_memory_dc() {
    return 1;
}
void codec_platform_delete_memory_dc(OsHandle) {}
void codec_platform_report_startup_failure() {}
