// Temporary: no algorithms until the security module lands.
#include "security/crypto.h"

SvacCipherCtx *VQ_SVACDEC_crypto_open(int32_t) { return nullptr; }
int32_t VQ_SVACDEC_crypto_set_key(SvacCipherCtx *, const uint8_t *, int32_t) { return 0; }
void VQ_SVACDEC_crypto_encrypt(SvacCipherCtx *, uint8_t *, const uint8_t *, int32_t) {}
void VQ_SVACDEC_crypto_decrypt(SvacCipherCtx *, uint8_t *, const uint8_t *, int32_t) {}
void VQ_SVACDEC_crypto_close(SvacCipherCtx *) {}
SvacHashCtx *VQ_SVACDEC_hash_open(int32_t) { return nullptr; }
void VQ_SVACDEC_hash_init(SvacHashCtx *, void *) {}
void VQ_SVACDEC_hash_update(SvacHashCtx *, const uint8_t *, int32_t) {}
void VQ_SVACDEC_hash_final(SvacHashCtx *, uint8_t *) {}
int32_t VQ_SVACDEC_hash_digest_size(const SvacHashCtx *) { return 0; }
void VQ_SVACDEC_hash_close(SvacHashCtx *) {}
SvacSignCtx *VQ_SVACDEC_sign_open(int32_t) { return nullptr; }
void VQ_SVACDEC_sign_close(SvacSignCtx *) {}
void VQ_SVACDEC_security_init(uint32_t) {}
