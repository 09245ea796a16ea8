#include "svac/lines.h"

#include "svac/macroblock.h"

void svac_reset_mb_caches(SvacMacroblock *) {}
void svac_free_lines(SvacMacroblock *) {}
