#include "stream_builder.h"
