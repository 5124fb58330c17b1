// External image plug-ins (.spi libraries).
#pragma once

#include "codecs/codec_context.h"

struct PluginContext : CodecContext {};
