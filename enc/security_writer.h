// Protected streams for the generator: the security parameter set and
// enciphered NAL units that the decoder deciphers back to their payload.
#pragma once

#include <cstdint>
#include <vector>

#include "bitwriter.h"
#include "nal_writer.h"

namespace svacenc {

enum CipherType : int { CIPHER_DES = 1, CIPHER_AES = 2 };

struct SecurityParams {
    bool encryption_flag = false;
    bool authentication_flag = false;
    int encryption_type = CIPHER_AES;  // 4 bits
    int hash_type = 0;                 // 4 bits
    bool auth_flags[4] = {};
    int sign_type = 0;           // 4 bits
    int sign_param[2] = {1, 1};  // 1 to 256, written when sign_type is not 0
};

// Writes the syntax of the set (without the stop bit).
void write_security_params(BitWriter &bw, const SecurityParams &sp);

// Key as the decoder installs it: DES takes the first 8 bytes (zero-filled
// when shorter); AES needs 16, 24 or 32 bytes.
struct CipherKey {
    int type = CIPHER_AES;
    std::vector<uint8_t> key;
};

// Enciphers a payload that ends with its stop bit. The decoder removes
// emulation prevention, deciphers block by block (a partial tail is padded
// with zeros), then drops trailing zero bytes to find the stop bit; a partial
// tail cannot be inverted, so the payload is zero-padded to whole blocks. The
// start-code search cuts zero bytes off the end of the ciphertext; they are
// restored by the decoder's zero padding of the tail, and what they decipher
// to is lost, so padding blocks are added until at least as many zero bytes
// follow the stop bit as the ciphertext ends with. Empty for an unusable key.
std::vector<uint8_t> encipher_payload(const std::vector<uint8_t> &payload, const CipherKey &key);

// append_nal with the payload enciphered and the header's encrypted bit set.
void append_encrypted_nal(std::vector<uint8_t> &out, NalHeader h, const std::vector<uint8_t> &payload,
                          const CipherKey &key);

}  // namespace svacenc
