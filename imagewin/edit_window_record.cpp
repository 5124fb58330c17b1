#include "imagewin/edit_window_record.h"

EditWindow g_edit_window;
