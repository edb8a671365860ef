/* A host build of a small firmware: the splash logo and a status icon, converted from the pictures
   in images/ while the firmware builds, are drawn into the frame buffer of an 8 x 4 panel, and the
   panel's pixels are then compared with words worked out by hand from the pictures' colours
   (images/make-images.py lists them). The logo comes as the panel's RGB565 words; the icon keeps
   its transparency as ARGB8888 (bytes B G R A), whose bytes are checked as they are, before it is
   drawn over what lies beneath it. The clock's digits come from a TrueType font as a glyph table,
   a bit a pixel, and "12:34" is drawn with them into a canvas of its own, whose ink is then checked
   against what any honest rasterisation of a proportional font shows (draw_clock). Exits 0 when
   every byte, pixel, size and glyph is right. */
#include <stdint.h>
#include <stdio.h>

#include "clock_font.h"
#include "icon.h"
#include "logo.h"

#define PANEL_WIDTH 8
#define PANEL_HEIGHT 4
/* Not a colour of either picture, so that a pixel no picture covers shows as such. */
#define BACKGROUND 0x1234u

static uint16_t frame[PANEL_HEIGHT][PANEL_WIDTH];

/* Copies an image whose rows come top row first, as the build asks rgb565 for them. */
static void blit(const uint16_t* image, int width, int height, int x, int y) {
  for (int row = 0; row < height; ++row) {
    for (int column = 0; column < width; ++column) frame[y + row][x + column] = image[row * width + column];
  }
}

/* Draws an ARGB8888 image where its alpha is at least half, its colour made an RGB565 word by
   dropping each channel's low bits: a status icon has hard edges, so a mask is all it needs. */
static void blit_masked(const uint8_t* image, int width, int height, int x, int y) {
  for (int row = 0; row < height; ++row) {
    for (int column = 0; column < width; ++column) {
      const uint8_t* p = image + 4 * (row * width + column);
      if (p[3] < 0x80) continue;
      frame[y + row][x + column] = (uint16_t)(((p[2] >> 3) << 11) | ((p[1] >> 2) << 5) | (p[0] >> 3));
    }
  }
}

/* The icon's bytes, pixel by pixel from its top row: blue, green, red, alpha. A transparent pixel
   keeps its colour, as the alpha is not multiplied in. */
static const uint8_t expected_icon[16] = {
    0x56, 0x34, 0x12, 0xFF, /* 123456 */
    0x00, 0xFF, 0xFF, 0xFF, /* yellow FFFF00 */
    0x80, 0x80, 0x80, 0xFF, /* grey 808080 */
    0xFF, 0x00, 0x00, 0x00, /* blue 0000FF, transparent */
};

struct Expected {
  int x, y;
  uint16_t word; /* RRRRRGGG GGGBBBBB, each channel's low bits dropped */
  const char* what;
};

static const struct Expected expected[] = {
    {0, 0, 0xF800, "logo: red FF0000"},
    {1, 0, 0x07E0, "logo: green 00FF00"},
    {2, 0, 0x001F, "logo: blue 0000FF"},
    {0, 1, 0xFFFF, "logo: white FFFFFF, bottom row"},
    {1, 1, 0x0000, "logo: black 000000"},
    {2, 1, 0x8204, "logo: brown 804020 = 10000 010000 00100"},
    {3, 0, BACKGROUND, "right of the logo"},
    {5, 2, 0x11AA, "icon: 123456 = 00010 001101 01010"},
    {6, 2, 0xFFE0, "icon: yellow FFFF00"},
    {5, 3, 0x8410, "icon: grey 808080 = 10000 100000 10000"},
    {6, 3, BACKGROUND, "icon: transparent blue, the panel showing through"},
    {7, 3, BACKGROUND, "right of the icon"},
};

#define CANVAS_WIDTH 96
#define CANVAS_HEIGHT 40

/* Which character of the string inked each pixel (its index + 1), 0 where none did. */
static uint8_t canvas[CANVAS_HEIGHT][CANVAS_WIDTH];

static const rgb565_glyph* find_glyph(uint32_t code_point) {
  for (size_t i = 0; i < (size_t)clock_font_glyph_count; ++i) {
    if (clock_font_glyphs[i].code_point == code_point) return &clock_font_glyphs[i];
  }
  return NULL;
}

/* A pixel of a glyph: its rows are padded to a byte, the leftmost pixel in the high bit. */
static int glyph_pixel(const rgb565_glyph* glyph, int x, int y) {
  const uint8_t* row = clock_font_bitmaps + glyph->offset + (size_t)y * (size_t)((glyph->width + 7) / 8);
  return (row[x / 8] >> (7 - x % 8)) & 1;
}

/* Draws "12:34" from the glyph table and checks what its ink shows: each character inks pixels
   that no other character inks, inside the line and the string's width (the sum of its advances),
   the characters' ink lies left to right in the string's order, the digits stand on the baseline,
   the colon is two dots with a gap between them, and the font's digits share one advance
   (DejaVu Sans has tabular figures) that is wider than the colon's. Returns the failures. */
static int draw_clock(void) {
  static const char text[] = "12:34";
  const int length = (int)sizeof text - 1;
  int failures = 0;
  int pen = 0;
  for (size_t i = 1; i < (size_t)clock_font_glyph_count; ++i) {
    if (clock_font_glyphs[i - 1].code_point >= clock_font_glyphs[i].code_point) {
      printf("clock_font_glyphs are not sorted by code point at %u\n", (unsigned)i);
      ++failures;
    }
  }
  if ((int)clock_font_glyph_count != 11) {
    printf("clock_font has %d glyphs, not the 11 of \"0123456789:\"\n", (int)clock_font_glyph_count);
    ++failures;
  }
  for (int c = 0; c < length; ++c) {
    const rgb565_glyph* glyph = find_glyph((uint8_t)text[c]);
    if (glyph == NULL) {
      printf("clock_font has no '%c'\n", text[c]);
      return failures + 1;
    }
    for (int y = 0; y < glyph->height; ++y) {
      for (int x = 0; x < glyph->width; ++x) {
        if (!glyph_pixel(glyph, x, y)) continue;
        const int cx = pen + glyph->x_offset + x, cy = glyph->y_offset + y;
        if (cx < 0 || cy < 0 || cx >= CANVAS_WIDTH || cy >= CANVAS_HEIGHT || cy >= (int)clock_font_line_height) {
          printf("'%c' inks (%d, %d), outside the line\n", text[c], cx, cy);
          ++failures;
        } else if (canvas[cy][cx] != 0) {
          printf("'%c' inks (%d, %d), which '%c' inked\n", text[c], cx, cy, text[canvas[cy][cx] - 1]);
          ++failures;
        } else {
          canvas[cy][cx] = (uint8_t)(c + 1);
        }
      }
    }
    pen += glyph->advance;
  }
  if (pen > CANVAS_WIDTH) {
    printf("\"12:34\" is %d pixels wide, wider than any 16 px font draws it\n", pen);
    return failures + 1;
  }
  /* Each character's ink: its columns and rows, as the canvas shows them. */
  int left[5], right[5], top[5], bottom[5];
  for (int c = 0; c < length; ++c) {
    left[c] = top[c] = 1000;
    right[c] = bottom[c] = -1;
  }
  for (int y = 0; y < CANVAS_HEIGHT; ++y) {
    for (int x = 0; x < CANVAS_WIDTH; ++x) {
      const int c = canvas[y][x] - 1;
      if (c < 0) continue;
      if (x >= pen) {
        printf("'%c' inks column %d, past the sum of the advances, %d\n", text[c], x, pen);
        ++failures;
      }
      if (x < left[c]) left[c] = x;
      if (x > right[c]) right[c] = x;
      if (y < top[c]) top[c] = y;
      if (y > bottom[c]) bottom[c] = y;
    }
  }
  for (int c = 0; c < length; ++c) {
    if (right[c] < 0) {
      printf("'%c' draws no ink\n", text[c]);
      return failures + 1;
    }
    if (c > 0 && left[c] <= right[c - 1]) {
      printf("'%c' starts at column %d, not right of '%c', which ends at %d\n", text[c], left[c], text[c - 1],
             right[c - 1]);
      ++failures;
    }
    /* Digits end on the baseline; a rounded bottom may dip a pixel below it. */
    if (text[c] != ':' && (bottom[c] < (int)clock_font_baseline - 1 || bottom[c] > (int)clock_font_baseline)) {
      printf("'%c' ends on row %d, not on the baseline at %d\n", text[c], bottom[c], (int)clock_font_baseline);
      ++failures;
    }
  }
  int gap = 0;
  for (int y = top[2]; y <= bottom[2]; ++y) {
    int inked = 0;
    for (int x = left[2]; x <= right[2]; ++x) inked |= canvas[y][x] == 3;
    if (!inked) ++gap;
  }
  if (gap == 0) {
    printf("':' is one blot from row %d to %d, not two dots\n", top[2], bottom[2]);
    ++failures;
  }
  const rgb565_glyph* one = find_glyph('1');
  const rgb565_glyph* colon = find_glyph(':');
  for (const char* digit = "234"; *digit != '\0'; ++digit) {
    if (find_glyph((uint8_t)*digit)->advance != one->advance) {
      printf("'%c' advances %d pixels, '1' %d: DejaVu Sans's digits share one\n", *digit,
             (int)find_glyph((uint8_t)*digit)->advance, (int)one->advance);
      ++failures;
    }
  }
  if (colon->advance >= one->advance) {
    printf("':' advances %d pixels, no less than a digit's %d\n", (int)colon->advance, (int)one->advance);
    ++failures;
  }
  printf("\"12:34\" drawn %d pixels wide on a line of %d, with %d failures\n", pen, (int)clock_font_line_height,
         failures);
  return failures;
}

int main(void) {
  int failures = 0;
  if (logo_width != 3 || logo_height != 2 || sizeof logo / sizeof logo[0] != 6) {
    printf("logo is %d x %d in %u words, not 3 x 2 in 6\n", logo_width, logo_height,
           (unsigned)(sizeof logo / sizeof logo[0]));
    ++failures;
  }
  if (icon_width != 2 || icon_height != 2 || sizeof icon != sizeof expected_icon) {
    printf("icon is %d x %d in %u bytes, not 2 x 2 in %u\n", icon_width, icon_height, (unsigned)sizeof icon,
           (unsigned)sizeof expected_icon);
    ++failures;
  }
  if (failures != 0) return 1;
  for (size_t i = 0; i < sizeof expected_icon; ++i) {
    if (icon[i] != expected_icon[i]) {
      printf("icon byte %u: 0x%02X, not 0x%02X\n", (unsigned)i, icon[i], expected_icon[i]);
      ++failures;
    }
  }

  for (int y = 0; y < PANEL_HEIGHT; ++y) {
    for (int x = 0; x < PANEL_WIDTH; ++x) frame[y][x] = BACKGROUND;
  }
  blit(logo, logo_width, logo_height, 0, 0);
  blit_masked(icon, icon_width, icon_height, 5, 2);
  for (size_t i = 0; i < sizeof expected / sizeof expected[0]; ++i) {
    const struct Expected* e = &expected[i];
    if (frame[e->y][e->x] != e->word) {
      printf("pixel (%d, %d), %s: 0x%04X, not 0x%04X\n", e->x, e->y, e->what, frame[e->y][e->x], e->word);
      ++failures;
    }
  }
  failures += draw_clock();
  printf("%d failures among the icon's %u bytes and the panel's %u pixels\n", failures, (unsigned)sizeof expected_icon,
         (unsigned)(sizeof expected / sizeof expected[0]));
  return failures == 0 ? 0 : 1;
}
