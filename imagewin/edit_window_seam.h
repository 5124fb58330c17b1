// What the program's entry file reaches of the edit window.
#pragma once

#include "imagewin/edit_window.h"
