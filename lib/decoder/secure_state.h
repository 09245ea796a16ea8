// Security state of a decoder instance: what the last security parameter set
// switched on, and the open cipher, digest and signature contexts.
#pragma once

#include <cstdint>

struct SvacCipherCtx;
struct SvacHashCtx;
struct SvacSignCtx;

inline constexpr int SVAC_KEY_MAX = 64;

struct SvacSecurityState {
    int32_t encryption_flag;
    int32_t authentication_flag;
    int32_t encryption_type;
    int32_t hash_type;
    int32_t auth_flags[4];
    int32_t sign_type;
    int32_t sign_param[2];
    SvacCipherCtx *cipher;
    SvacHashCtx *hash1;
    SvacHashCtx *hash2;
    SvacSignCtx *sign;
    uint8_t key[SVAC_KEY_MAX];
    uint32_t key_len;
    int32_t open_cipher_type;
    int32_t open_hash_type;
    int32_t open_sign_type;
};
