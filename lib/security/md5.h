// MD5 message digest (RFC 1321).
#pragma once

#include <cstdint>

struct Md5State {
    uint32_t h[4];
    uint64_t total;  // bytes fed so far
    uint8_t buf[64];
    uint32_t used;
};

// The digest functions share one signature so that they fit the algorithm
// table; `arg` is not used. Lengths below 0 feed nothing.
void md5_init(void *state, void *arg);
void md5_update(void *state, const uint8_t *data, int32_t len);
void md5_final(void *state, uint8_t *out);  // 16 bytes
