// Block ciphers, digests and signatures behind one interface selected by
// algorithm number.
#pragma once

#include <cstdint>

#include "common.h"

struct SvacCipherCtx;
struct SvacHashCtx;
struct SvacSignCtx;

extern "C" {
SVAC_EXPORT SvacCipherCtx *VQ_SVACDEC_crypto_open(int32_t type);
SVAC_EXPORT int32_t VQ_SVACDEC_crypto_set_key(SvacCipherCtx *ctx, const uint8_t *key, int32_t len);
SVAC_EXPORT void VQ_SVACDEC_crypto_encrypt(SvacCipherCtx *ctx, uint8_t *dst, const uint8_t *src, int32_t len);
SVAC_EXPORT void VQ_SVACDEC_crypto_decrypt(SvacCipherCtx *ctx, uint8_t *dst, const uint8_t *src, int32_t len);
SVAC_EXPORT void VQ_SVACDEC_crypto_close(SvacCipherCtx *ctx);

SVAC_EXPORT SvacHashCtx *VQ_SVACDEC_hash_open(int32_t type);
SVAC_EXPORT void VQ_SVACDEC_hash_init(SvacHashCtx *ctx, void *arg);
SVAC_EXPORT void VQ_SVACDEC_hash_update(SvacHashCtx *ctx, const uint8_t *data, int32_t len);
SVAC_EXPORT void VQ_SVACDEC_hash_final(SvacHashCtx *ctx, uint8_t *out);
SVAC_EXPORT int32_t VQ_SVACDEC_hash_digest_size(const SvacHashCtx *ctx);
SVAC_EXPORT void VQ_SVACDEC_hash_close(SvacHashCtx *ctx);

SVAC_EXPORT SvacSignCtx *VQ_SVACDEC_sign_open(int32_t type);
SVAC_EXPORT void VQ_SVACDEC_sign_close(SvacSignCtx *ctx);

SVAC_EXPORT void VQ_SVACDEC_security_init(uint32_t cpu_flags);
}
