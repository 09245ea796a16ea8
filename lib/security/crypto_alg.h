// The algorithm tables behind the generic cipher and digest contexts,
// indexed by the algorithm numbers of the security parameter set.
#pragma once

#include <cstdint>

using SvacSetKeyFn = int32_t (*)(void *state, const uint8_t *key, int32_t len);
using SvacBlockFn = void (*)(const void *state, const uint8_t *in, uint8_t *out);
using SvacHashInitFn = void (*)(void *state, void *arg);
using SvacHashUpdateFn = void (*)(void *state, const uint8_t *data, int32_t len);
using SvacHashFinalFn = void (*)(void *state, uint8_t *out);

// An entry with any zero field stands for an unimplemented algorithm.
struct SvacCipherAlg {
    uint32_t state_size;
    uint32_t block_size;
    uint32_t min_key_len;
    uint32_t max_key_len;
    SvacSetKeyFn set_key;
    SvacBlockFn encrypt;
    SvacBlockFn decrypt;
};

struct SvacHashAlg {
    uint32_t state_size;
    uint32_t digest_size;
    SvacHashInitFn init;
    SvacHashUpdateFn update;
    SvacHashFinalFn final;
};

inline constexpr int SVAC_CIPHER_COUNT = 3;  // 0 none, 1 DES, 2 AES
inline constexpr int SVAC_HASH_COUNT = 7;    // 0 MD5 .. 5 SHA-512, 6 none
inline constexpr int SVAC_SIGN_COUNT = 3;    // none implemented

extern const SvacCipherAlg calg[SVAC_CIPHER_COUNT];
extern const SvacHashAlg halg[SVAC_HASH_COUNT];
