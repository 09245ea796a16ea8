// svacscene: writes a camera-like test clip as Y4M (8-bit 4:2:0, 25 fps): a
// fixed street camera with buildings, a road, passing cars, a pedestrian,
// sensor noise and an on-screen date and time, as recorders burn them in.
// Integer arithmetic only, so the clip is the same on every machine.
//
//   svacscene [--size WxH] [--frames N] OUT.y4m
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Rgb {
    int r, g, b;
};

uint32_t hash(uint32_t x, uint32_t y, uint32_t t) {
    uint32_t h = x * 374761393u + y * 668265263u + t * 2246822519u;
    h = (h ^ (h >> 13)) * 1274126177u;
    return h ^ (h >> 16);
}

class Canvas {
  public:
    Canvas(int w, int h) : w_(w), h_(h), px_(size_t(w) * h) {}
    int w() const { return w_; }
    int h() const { return h_; }
    Rgb &at(int x, int y) { return px_[size_t(y) * w_ + x]; }
    // A filled rectangle, clipped; `grain` adds a fixed texture.
    void rect(int x0, int y0, int x1, int y1, Rgb c, int grain = 0) {
        for (int y = std::max(0, y0); y < std::min(h_, y1); y++)
            for (int x = std::max(0, x0); x < std::min(w_, x1); x++) {
                const int n = grain ? int(hash(x, y, 7) % (2 * grain + 1)) - grain : 0;
                at(x, y) = {c.r + n, c.g + n, c.b + n};
            }
    }
    void disc(int cx, int cy, int r, Rgb c, int grain = 0) {
        for (int y = cy - r; y <= cy + r; y++)
            for (int x = cx - r; x <= cx + r; x++)
                if ((x - cx) * (x - cx) + (y - cy) * (y - cy) <= r * r) rect(x, y, x + 1, y + 1, c, grain);
    }

  private:
    int w_, h_;
    std::vector<Rgb> px_;
};

// 5x7 glyphs of the on-screen text.
const char *glyph(char c) {
    static const char *const digits[10] = {
        "01110100011001110101110011000101110", "00100011000010000100001000010001110",
        "01110100010000100010001000100011111", "11111000100010000010000011000101110",
        "00010001100101010010111110001000010", "11111100001111000001000011000101110",
        "00110010001000011110100011000101110", "11111000010001000100010000100001000",
        "01110100011000101110100011000101110", "01110100011000101111000010001001100"};
    if (c >= '0' && c <= '9') return digits[c - '0'];
    if (c == '-') return "00000000000000011111000000000000000";
    if (c == ':') return "00000011000110000000011000110000000";
    if (c == 'C') return "01110100011000010000100001000101110";
    if (c == 'A') return "01110100011000110001111111000110001";
    if (c == 'M') return "10001110111010110101100011000110001";
    return "00000000000000000000000000000000000";
}

// White text with a dark outline, `s` pixels per glyph dot.
void text(Canvas &cv, int x0, int y0, int s, const std::string &str) {
    for (int pass = 0; pass < 2; pass++)
        for (size_t i = 0; i < str.size(); i++) {
            const char *g = glyph(str[i]);
            for (int k = 0; k < 35; k++) {
                if (g[k] != '1') continue;
                const int x = x0 + int(i) * 6 * s + (k % 5) * s, y = y0 + (k / 5) * s;
                if (pass == 0)
                    cv.rect(x - 1, y - 1, x + s + 1, y + s + 1, {20, 20, 20});
                else
                    cv.rect(x, y, x + s, y + s, {235, 235, 235});
            }
        }
}

void background(Canvas &cv) {
    const int w = cv.w(), h = cv.h();
    for (int y = 0; y < h * 42 / 100; y++) cv.rect(0, y, w, y + 1, {150 + y * 60 / h, 180 + y * 40 / h, 215});
    // Buildings with a grid of windows, some lit.
    const Rgb walls[4] = {{150, 120, 100}, {120, 125, 135}, {170, 160, 140}, {105, 95, 90}};
    for (int b = 0; b < 4; b++) {
        const int x0 = b * w / 4, x1 = (b + 1) * w / 4 - w / 80, top = h * (6 + 5 * (b % 3)) / 100;
        cv.rect(x0, top, x1, h * 42 / 100, walls[b], 6);
        for (int wy = top + h / 40; wy + h / 30 < h * 40 / 100; wy += h / 18)
            for (int wx = x0 + w / 60; wx + w / 40 < x1; wx += w / 25) {
                const bool lit = hash(wx, wy, 1) % 4 == 0;
                cv.rect(wx, wy, wx + w / 40, wy + h / 30, lit ? Rgb{230, 210, 140} : Rgb{60, 70, 85}, 3);
            }
    }
    cv.rect(0, h * 42 / 100, w, h * 50 / 100, {175, 170, 160}, 8);  // far sidewalk
    cv.rect(0, h * 50 / 100, w, h * 86 / 100, {95, 95, 98}, 10);    // road
    cv.rect(0, h * 86 / 100, w, h, {165, 160, 150}, 8);             // near sidewalk
    for (int x = 0; x < w; x += w / 8)
        cv.rect(x, h * 675 / 1000, x + w / 16, h * 685 / 1000, {225, 225, 215});
    for (int t = 0; t < 5; t++) {  // trees along the far sidewalk
        const int cx = w / 10 + t * w / 5;
        cv.rect(cx - w / 200, h * 36 / 100, cx + w / 200, h * 47 / 100, {80, 60, 40});
        cv.disc(cx, h * 33 / 100, h / 16, {50, 95, 45}, 18);
    }
}

struct Car {
    int lane_y;  // top of the car, in thousandths of the height
    int speed;   // pixels per picture at 1280 wide; negative: right to left
    int start;   // position at picture 0, thousandths of the width
    Rgb body;
};

void car(Canvas &cv, const Car &c, int t) {
    const int w = cv.w(), h = cv.h();
    const int len = w * 15 / 100, ht = h * 9 / 100, span = w + 2 * len;
    const int x = ((c.start * w / 1000 + c.speed * w / 1280 * t) % span + span) % span - len;
    const int y = c.lane_y * h / 1000;
    cv.rect(x + len / 20, y + ht, x + len, y + ht + ht / 8, {60, 60, 62});  // shadow
    cv.rect(x, y + ht / 3, x + len, y + ht, c.body, 4);
    cv.rect(x + len / 5, y, x + len * 4 / 5, y + ht / 3 + 1, c.body, 4);
    const Rgb glass = {70, 90, 110};
    cv.rect(x + len / 4, y + ht / 12, x + len / 2 - 3, y + ht / 3, glass, 3);
    cv.rect(x + len / 2 + 3, y + ht / 12, x + len * 3 / 4, y + ht / 3, glass, 3);
    for (int k : {1, 4}) cv.disc(x + k * len / 5 + len / 20, y + ht, ht / 5, {25, 25, 25});
}

void pedestrian(Canvas &cv, int t) {
    const int w = cv.w(), h = cv.h();
    const int x = w * 9 / 10 - t * w / 640, feet = h * 95 / 100, u = h / 60;
    cv.disc(x, feet - 11 * u, u, {200, 160, 130});
    cv.rect(x - u, feet - 10 * u, x + u, feet - 4 * u, {40, 60, 140}, 4);
    const int step = (t / 4) % 2 ? u / 2 : -u / 2;
    cv.rect(x - u + step, feet - 4 * u, x + step, feet, {40, 40, 45});
    cv.rect(x - step, feet - 4 * u, x + u - step, feet, {40, 40, 45});
}

std::string clock_text(int t) {
    const int s = 8 * 3600 + 30 * 60 + t / 25;
    char b[32];
    std::snprintf(b, sizeof b, "2026-12-06 %02d:%02d:%02d", s / 3600, s / 60 % 60, s % 60);
    return b;
}

int clip(int v) { return v < 0 ? 0 : v > 255 ? 255 : v; }

// BT.601 limited range; chroma from the mean of each 2x2 block.
void write_frame(std::FILE *f, Canvas &cv) {
    const int w = cv.w(), h = cv.h();
    std::vector<uint8_t> y(size_t(w) * h), u(size_t(w / 2) * (h / 2)), v(u.size());
    for (int j = 0; j < h; j++)
        for (int i = 0; i < w; i++) {
            const Rgb p = cv.at(i, j);
            y[size_t(j) * w + i] = uint8_t(clip(16 + ((66 * p.r + 129 * p.g + 25 * p.b + 128) >> 8)));
        }
    for (int j = 0; j < h / 2; j++)
        for (int i = 0; i < w / 2; i++) {
            int r = 0, g = 0, b = 0;
            for (int k = 0; k < 4; k++) {
                const Rgb p = cv.at(2 * i + k % 2, 2 * j + k / 2);
                r += p.r, g += p.g, b += p.b;
            }
            r /= 4, g /= 4, b /= 4;
            u[size_t(j) * (w / 2) + i] = uint8_t(clip(128 + ((-38 * r - 74 * g + 112 * b + 128) >> 8)));
            v[size_t(j) * (w / 2) + i] = uint8_t(clip(128 + ((112 * r - 94 * g - 18 * b + 128) >> 8)));
        }
    std::fputs("FRAME\n", f);
    std::fwrite(y.data(), 1, y.size(), f);
    std::fwrite(u.data(), 1, u.size(), f);
    std::fwrite(v.data(), 1, v.size(), f);
}

}  // namespace

int main(int argc, char **argv) {
    int w = 1280, h = 720, frames = 75;
    const char *out = nullptr;
    for (int i = 1; i < argc; i++) {
        if (!std::strcmp(argv[i], "--size") && i + 1 < argc && std::sscanf(argv[i + 1], "%dx%d", &w, &h) == 2)
            i++;
        else if (!std::strcmp(argv[i], "--frames") && i + 1 < argc)
            frames = std::atoi(argv[++i]);
        else if (argv[i][0] != '-' && !out)
            out = argv[i];
        else
            out = nullptr, i = argc;
    }
    if (!out || w < 64 || h < 64 || w > 4096 || h > 4096 || w % 2 || h % 2 || frames < 1) {
        std::fputs("usage: svacscene [--size WxH] [--frames N] OUT.y4m (even sizes 64..4096)\n", stderr);
        return 2;
    }
    std::FILE *f = std::fopen(out, "wb");
    if (!f) {
        std::fprintf(stderr, "svacscene: cannot create %s\n", out);
        return 3;
    }
    std::fprintf(f, "YUV4MPEG2 W%d H%d F25:1 Ip A1:1 C420jpeg\n", w, h);
    Canvas still(w, h);
    background(still);
    const Car cars[] = {{540, 9, 100, {180, 30, 30}},
                        {560, -6, 700, {220, 220, 225}},
                        {700, 12, 600, {30, 60, 150}},
                        {720, -8, 250, {40, 40, 40}}};
    for (int t = 0; t < frames; t++) {
        Canvas cv = still;
        for (const Car &c : cars) car(cv, c, t);
        pedestrian(cv, t);
        for (int y = 0; y < h; y++)
            for (int x = 0; x < w; x++) {
                const int n = int(hash(x, y, t + 100) % 5) - 2;  // sensor noise
                Rgb &p = cv.at(x, y);
                p = {p.r + n, p.g + n, p.b + n};
            }
        const int s = std::max(1, h / 240);
        text(cv, 8 * s, 6 * s, s, clock_text(t));
        text(cv, w - 40 * s, h - 12 * s, s, "CAM 01");
        write_frame(f, cv);
    }
    return std::fclose(f) == 0 ? 0 : 3;
}
