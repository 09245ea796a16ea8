// DES block cipher (FIPS 46-3), one 8-byte block at a time.
#pragma once

#include <cstdint>

// The sixteen 48-bit round keys, each as eight 6-bit S-box inputs.
struct DesKey {
    uint8_t sub[16][8];
};

// Uses the first 8 key bytes; a different length prints the key-length
// message (a shorter key is completed with zero bytes so nothing is read past
// it). A weak or semi-weak key prints a warning and is installed anyway.
// Returns 0.
int32_t des_set_key(void *state, const uint8_t *key, int32_t len);
void des_encrypt_block(const void *state, const uint8_t *in, uint8_t *out);
void des_decrypt_block(const void *state, const uint8_t *in, uint8_t *out);

// True for the four weak and twelve semi-weak keys (parity bits ignored).
bool des_is_weak_key(const uint8_t key[8]);
