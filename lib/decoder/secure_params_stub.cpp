// Temporary: the security parameter set is skipped until its parser lands.
#include "decoder/decoder.h"
#include "decoder/secure_params.h"

int32_t VQ_SVACDEC_decode_secure_parameter_set(SvacDecoder *) { return 0; }

void svac_security_open(SvacDecoder *dec) {
    dec->sec.key_len = 16;
    dec->sec.open_cipher_type = dec->sec.open_hash_type = dec->sec.open_sign_type = -1;
}

void svac_security_close(SvacDecoder *) {}
