// Security parameter set: switches deciphering on or off and opens the
// cipher, digest and signature contexts it names.
#pragma once

#include "common.h"

struct SvacDecoder;

// Parses the set over the decoder's bit reader; the driver ignores the result.
SVAC_EXTERN_C int32_t VQ_SVACDEC_decode_secure_parameter_set(SvacDecoder *dec);

// Puts the instance's security state in its opened condition (built-in key,
// no contexts) and releases the contexts at close.
void svac_security_open(SvacDecoder *dec);
void svac_security_close(SvacDecoder *dec);
