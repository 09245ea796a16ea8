// The exported Exp-Golomb tables, rebuilt here from the code definition:
// every code of at most 9 bits, extended by every possible continuation, must
// be found at its prefixes with its length and value.
#include <gtest/gtest.h>

#include "bitstream/golomb_tables.h"

namespace {

int se_of(int k) { return (k % 2) ? (k + 1) / 2 : -(k / 2); }

TEST(GolombTables, EveryShortCodeAtEveryPrefix) {
    std::vector<bool> covered(512, false);
    for (int k = 0; k <= 30; k++) {
        // Code of k: z zeros then the (z+1)-bit number k + 1.
        int z = 0;
        while ((k + 1) >> (z + 1)) z++;
        const int len = 2 * z + 1;
        ASSERT_LE(len, 9);
        const int code = k + 1;  // with its z leading zeros it is `len` bits long
        for (int tail = 0; tail < (1 << (9 - len)); tail++) {
            const int prefix = (code << (9 - len)) | tail;
            EXPECT_EQ(golomb_vlc_len[prefix], len) << prefix;
            EXPECT_EQ(ue_golomb_vlc_code[prefix], k) << prefix;
            EXPECT_EQ(se_golomb_vlc_code[prefix], se_of(k)) << prefix;
            covered[prefix] = true;
        }
    }
    // Exactly the prefixes with at most four leading zeros are codes.
    for (int i = 0; i < 512; i++) EXPECT_EQ(covered[i], i >= 16) << i;
}

TEST(GolombTables, Log2) {
    EXPECT_EQ(log2_tab[0], 0);
    for (int v = 1; v < 256; v++) {
        int l = 0;
        while ((2 << l) <= v) l++;  // largest l with 2^l <= v
        EXPECT_EQ(log2_tab[v], l) << v;
    }
}

TEST(GolombTables, CodeLengths) {
    for (int v = 0; v < 256; v++) {
        // Bits of v + 1, written twice less one.
        int n = 0;
        for (int x = v + 1; x; x >>= 1) n++;
        EXPECT_EQ(ue_golomb_len[v], 2 * n - 1) << v;
    }
}

}  // namespace
