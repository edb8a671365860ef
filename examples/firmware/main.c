/* A host build of a small firmware: the splash logo and a status icon, converted from the pictures
   in images/ while the firmware builds, are drawn into the frame buffer of an 8 x 4 panel, and the
   panel's pixels are then compared with words worked out by hand from the pictures' colours
   (images/make-images.py lists them). Exits 0 when every pixel and size is right. */
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
    {6, 3, 0x0000, "icon: transparent blue, over black"},
    {7, 3, BACKGROUND, "right of the icon"},
};

int main(void) {
  int failures = 0;
  if (logo_width != 3 || logo_height != 2 || sizeof logo / sizeof logo[0] != 6) {
    printf("logo is %d x %d in %u words, not 3 x 2 in 6\n", logo_width, logo_height,
           (unsigned)(sizeof logo / sizeof logo[0]));
    ++failures;
  }
  if (icon_width != 2 || icon_height != 2 || sizeof icon / sizeof icon[0] != 4) {
    printf("icon is %d x %d in %u words, not 2 x 2 in 4\n", icon_width, icon_height,
           (unsigned)(sizeof icon / sizeof icon[0]));
    ++failures;
  }
  if (failures != 0) return 1;

  for (int y = 0; y < PANEL_HEIGHT; ++y) {
    for (int x = 0; x < PANEL_WIDTH; ++x) frame[y][x] = BACKGROUND;
  }
  blit(logo, logo_width, logo_height, 0, 0);
  blit(icon, icon_width, icon_height, 5, 2);
  for (size_t i = 0; i < sizeof expected / sizeof expected[0]; ++i) {
    const struct Expected* e = &expected[i];
    if (frame[e->y][e->x] != e->word) {
      printf("pixel (%d, %d), %s: 0x%04X, not 0x%04X\n", e->x, e->y, e->what, frame[e->y][e->x], e->word);
      ++failures;
    }
  }
  printf("%d of %u pixels and both sizes right\n", (int)(sizeof expected / sizeof expected[0]) - failures,
         (unsigned)(sizeof expected / sizeof expected[0]));
  return failures == 0 ? 0 : 1;
}
