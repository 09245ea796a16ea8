// Extension data NAL units: time stamps for the host; regions, opaque records
// and alerts are skipped.
#pragma once

struct SvacDecoder;

void svac_decode_extension(SvacDecoder *dec);
