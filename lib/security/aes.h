// AES block cipher (128-, 192- and 256-bit keys), one block at a time.
#pragma once

#include <cstdint>

// Encryption and decryption round keys; `rounds` is 0 until a key is set, in
// which case both directions run over the zero schedule.
struct AesKey {
    uint32_t enc[60];
    uint32_t dec[60];
    int32_t rounds;
};

// Prints the key-length message and installs nothing unless `len` is 16, 24
// or 32. Returns 0, or -1 for a refused length.
int32_t aes_set_key(void *state, const uint8_t *key, int32_t len);
void aes_encrypt_block(const void *state, const uint8_t *in, uint8_t *out);
void aes_decrypt_block(const void *state, const uint8_t *in, uint8_t *out);
