/* A host build of a small firmware: the splash logo and a status icon, converted from the pictures
   in images/ while the firmware builds, are drawn into the frame buffer of an 8 x 4 panel, and the
   panel's pixels are then compared with words worked out by hand from the pictures' colours
   (images/make-images.py lists them). The logo comes as the panel's RGB565 words; the icon keeps
   its transparency as ARGB8888 (bytes B G R A), whose bytes are checked as they are, before it is
   drawn over what lies beneath it. Exits 0 when every byte, pixel and size is right. */
#include <stdint.h>
#include <stdio.h>

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
  printf("%d failures among the icon's %u bytes and the panel's %u pixels\n", failures, (unsigned)sizeof expected_icon,
         (unsigned)(sizeof expected / sizeof expected[0]));
  return failures == 0 ? 0 : 1;
}
