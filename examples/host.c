/* A minimal host of the SVAC decoder: reads a stream file, feeds it one NAL
 * unit per call, writes every picture's planes to a raw file and prints one
 * line per picture ("layer width height chroma_format_idc bit_depth").
 *
 *   cc host.c $(pkg-config --cflags --libs svacdec) -o host
 *   ./host stream.svac pictures.yuv
 *
 * Diagnostics of the library go to standard output, hence the picture file. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <svacdec.h>

/* Offset of the next 00 00 01 at or after `from`, or `size`. */
static size_t next_start_code(const uint8_t *d, size_t size, size_t from) {
    for (size_t i = from; i + 3 <= size; i++)
        if (d[i] == 0 && d[i + 1] == 0 && d[i + 2] == 1) return i;
    return size;
}

/* Writes the visible samples of each plane, row by row. */
static int write_picture(FILE *f, const SvacDecOutput *p) {
    const int planes = p->chroma_format_idc == 0 ? 1 : 3;
    const int bytes = p->bit_depth > 8 ? 2 : 1;
    for (int i = 0; i < planes; i++) {
        const int w = i ? p->width / 2 : p->width;
        const int h = i && p->chroma_format_idc == 1 ? p->height / 2 : p->height;
        for (int y = 0; y < h; y++)
            if (fwrite(p->plane[i] + (size_t)y * p->stride[i], bytes, w, f) != (size_t)w) return -1;
    }
    printf("%d %d %d %d %d\n", p->layer, p->width, p->height, p->chroma_format_idc, p->bit_depth);
    return 0;
}

int main(int argc, char **argv) {
    if (argc != 3) {
        fprintf(stderr, "usage: host STREAM OUT.yuv\n");
        return 2;
    }
    FILE *in = fopen(argv[1], "rb");
    FILE *out = fopen(argv[2], "wb");
    if (!in || !out) {
        fprintf(stderr, "host: cannot open %s or %s\n", argv[1], argv[2]);
        return 3;
    }
    size_t size = 0, cap = 1 << 16;
    uint8_t *data = malloc(cap);
    for (size_t n; data && (n = fread(data + size, 1, cap - size, in)) > 0;) {
        size += n;
        if (size == cap) data = realloc(data, cap *= 2);
    }
    fclose(in);
    if (!data) return 3;

    VQ_SVAC_Dec_Init(VQ_SVAC_Dec_GetCPUCaps());
    void *dec = VQ_SVAC_Dec_Open();
    if (!dec) return 4;
    int status = 0;
    const uint8_t *last_out[2] = {NULL, NULL}; /* the latest picture of each layer */
    size_t pos = next_start_code(data, size, 0);
    while (pos < size && !status) {
        const size_t end = next_start_code(data, size, pos + 3);
        SvacDecInput input = {data + pos, (int32_t)(end - pos), 0};
        SvacDecOutput pic;
        SvacDecExtInfo ext;
        memset(&pic, 0, sizeof pic);
        /* A negative result is a damaged unit: skip it and go on. */
        if (VQ_SVAC_Dec_Decode(dec, &input, &pic, &ext) < 0)
            fprintf(stderr, "host: a damaged NAL unit at byte %zu\n", pos);
        if (pic.got_picture) {
            last_out[pic.layer & 1] = pic.plane[0];
            status = write_picture(out, &pic);
        }
        pos = end;
    }
    /* At the end, the references not yet shown come out one per call; a layer
     * holds at most two, and a picture already handed out ends the layer. */
    for (int layer = 0; layer < 2 && !status; layer++) {
        const uint8_t *seen[2] = {last_out[layer], NULL};
        for (int k = 0; k < 2 && !status; k++) {
            SvacDecOutput pic;
            if (VQ_SVAC_Get_LastFrame(dec, layer, &pic) != 0 || !pic.got_picture || pic.plane[0] == seen[0] ||
                pic.plane[0] == seen[1])
                break;
            seen[1] = pic.plane[0];
            status = write_picture(out, &pic);
        }
    }
    VQ_SVAC_Dec_Close(dec);
    free(data);
    if (fclose(out) != 0) status = 3;
    return status;
}
