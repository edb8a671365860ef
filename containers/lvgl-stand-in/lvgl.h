/* A stand-in for LVGL 9's lvgl.h, for the compile checks of the font and image sources alone: LVGL's
   headers are not installed where this project is built. It declares, as LVGL 9 documents them, just
   the types, constants and functions a font or image source names; the fields a font leaves at zero are left out, which
   the source's designated initialisers allow. Built with -DLVGL_INCLUDE_DIR=..., the check compiles
   against LVGL's own headers instead. */
#ifndef LVGL_STAND_IN_H
#define LVGL_STAND_IN_H

#include <stdbool.h>
#include <stddef.h>
#include <stdint.h>

#define LVGL_VERSION_MAJOR 9
#define LVGL_VERSION_MINOR 1
#define LVGL_VERSION_PATCH 0

#define LV_ATTRIBUTE_LARGE_CONST
#define LV_ATTRIBUTE_MEM_ALIGN

typedef struct lv_draw_buf_t lv_draw_buf_t;
typedef struct lv_font_t lv_font_t;

typedef struct {
  const lv_font_t* resolved_font;
  uint16_t adv_w;
  uint16_t box_w;
  uint16_t box_h;
  int16_t ofs_x;
  int16_t ofs_y;
  uint8_t bpp;
  uint32_t gid;
} lv_font_glyph_dsc_t;

enum { LV_FONT_SUBPX_NONE, LV_FONT_SUBPX_HOR, LV_FONT_SUBPX_VER, LV_FONT_SUBPX_BOTH };

struct lv_font_t {
  bool (*get_glyph_dsc)(const lv_font_t*, lv_font_glyph_dsc_t*, uint32_t letter, uint32_t letter_next);
  const void* (*get_glyph_bitmap)(lv_font_glyph_dsc_t*, lv_draw_buf_t*);
  void (*release_glyph)(const lv_font_t*, lv_font_glyph_dsc_t*);
  int32_t line_height;
  int32_t base_line;
  uint8_t subpx : 2;
  uint8_t kerning : 1;
  int8_t underline_position;
  int8_t underline_thickness;
  const void* dsc;
  const lv_font_t* fallback;
  void* user_data;
};

#define LV_FONT_DECLARE(font_name) extern const lv_font_t font_name;

typedef struct {
  uint32_t bitmap_index : 20;
  uint32_t adv_w : 12;
  uint8_t box_w;
  uint8_t box_h;
  int8_t ofs_x;
  int8_t ofs_y;
} lv_font_fmt_txt_glyph_dsc_t;

typedef enum {
  LV_FONT_FMT_TXT_CMAP_FORMAT0_FULL,
  LV_FONT_FMT_TXT_CMAP_SPARSE_FULL,
  LV_FONT_FMT_TXT_CMAP_FORMAT0_TINY,
  LV_FONT_FMT_TXT_CMAP_SPARSE_TINY,
} lv_font_fmt_txt_cmap_type_t;

typedef struct {
  uint32_t range_start;
  uint16_t range_length;
  uint16_t glyph_id_start;
  const uint16_t* unicode_list;
  const void* glyph_id_ofs_list;
  uint16_t list_length;
  lv_font_fmt_txt_cmap_type_t type;
} lv_font_fmt_txt_cmap_t;

typedef struct {
  const void* glyph_ids;
  const int8_t* values;
  uint32_t pair_cnt : 30;
  uint32_t glyph_ids_size : 2;
} lv_font_fmt_txt_kern_pair_t;

typedef enum {
  LV_FONT_FMT_TXT_PLAIN = 0,
  LV_FONT_FMT_TXT_COMPRESSED = 1,
  LV_FONT_FMT_TXT_COMPRESSED_NO_PREFILTER = 2,
} lv_font_fmt_txt_bitmap_format_t;

typedef struct {
  const uint8_t* glyph_bitmap;
  const lv_font_fmt_txt_glyph_dsc_t* glyph_dsc;
  const lv_font_fmt_txt_cmap_t* cmaps;
  const void* kern_dsc;
  uint16_t kern_scale;
  uint16_t cmap_num : 9;
  uint16_t bpp : 4;
  uint16_t kern_classes : 1;
  uint16_t bitmap_format : 2;
} lv_font_fmt_txt_dsc_t;

const void* lv_font_get_bitmap_fmt_txt(lv_font_glyph_dsc_t* g_dsc, lv_draw_buf_t* draw_buf);
bool lv_font_get_glyph_dsc_fmt_txt(const lv_font_t* font, lv_font_glyph_dsc_t* dsc_out, uint32_t unicode_letter,
                                   uint32_t unicode_letter_next);

#define LV_IMAGE_HEADER_MAGIC 0x19

typedef enum {
  LV_COLOR_FORMAT_L8 = 0x06,
  LV_COLOR_FORMAT_ARGB8888 = 0x10,
  LV_COLOR_FORMAT_RGB565 = 0x12,
} lv_color_format_t;

typedef enum {
  LV_IMAGE_FLAGS_PREMULTIPLIED = 0x0001,
  LV_IMAGE_FLAGS_COMPRESSED = 0x0008,
} lv_image_flags_t;

typedef struct {
  uint32_t magic : 8;
  uint32_t cf : 8;
  uint32_t flags : 16;
  uint32_t w : 16;
  uint32_t h : 16;
  uint32_t stride : 16;
  uint32_t reserved_2 : 16;
} lv_image_header_t;

typedef struct {
  lv_image_header_t header;
  uint32_t data_size;
  const uint8_t* data;
  const void* reserved;
} lv_image_dsc_t;

#endif
