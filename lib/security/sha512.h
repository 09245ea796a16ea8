// SHA-512 and SHA-384 message digests (FIPS 180-4): one compression
// function, two initial values and output lengths.
#pragma once

#include <cstdint>

struct Sha512State {
    uint64_t h[8];
    uint64_t total;  // bytes fed so far (the 128-bit length field's high half stays 0)
    uint8_t buf[128];
    uint32_t used;
};

// Same signatures as the other digests; `arg` is not used.
void sha512_init(void *state, void *arg);
void sha512_update(void *state, const uint8_t *data, int32_t len);
void sha512_final(void *state, uint8_t *out);  // 64 bytes
void sha384_init(void *state, void *arg);
void sha384_update(void *state, const uint8_t *data, int32_t len);
void sha384_final(void *state, uint8_t *out);  // 48 bytes
