// SHA-1 message digest (FIPS 180-4).
#pragma once

#include <cstdint>

struct Sha1State {
    uint32_t h[5];
    uint64_t total;  // bytes fed so far
    uint8_t buf[64];
    uint32_t used;
};

// Same signatures as the other digests; `arg` is not used.
void sha1_init(void *state, void *arg);
void sha1_update(void *state, const uint8_t *data, int32_t len);
void sha1_final(void *state, uint8_t *out);  // 20 bytes
