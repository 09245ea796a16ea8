// SHA-256 and SHA-224 message digests (FIPS 180-4): one compression
// function, two initial values and output lengths.
#pragma once

#include <cstdint>

struct Sha256State {
    uint32_t h[8];
    uint64_t total;  // bytes fed so far
    uint8_t buf[64];
    uint32_t used;
};

// Same signatures as the other digests; `arg` is not used.
void sha256_init(void *state, void *arg);
void sha256_update(void *state, const uint8_t *data, int32_t len);
void sha256_final(void *state, uint8_t *out);  // 32 bytes
void sha224_init(void *state, void *arg);
void sha224_update(void *state, const uint8_t *data, int32_t len);
void sha224_final(void *state, uint8_t *out);  // 28 bytes
