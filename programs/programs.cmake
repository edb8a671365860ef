# The programs of the suite, one row each: the one place that names them. From it the build makes
# the programs and their tests, and generates the C program table (programs/program_table.h.in),
# the desktop entries, the Windows version information, the dialogs' manual page, the metainfo and
# the package description. The fields are described at tool_program() in cmake/programs.cmake; the
# table's order is the order in which the manual page, the package and the tests list them.

tool_program(kestrin dialog
  CAPTION "Kestrin"
  LABEL "Output:"
  OPEN any_bitmap
  SAVE raw
  JOB pack
  DESCRIPTION "Convert a BMP picture of 1 to 32 bits, run-length coded or not, to a raw RGB565 image"
  GENERIC_NAME "RGB565 Converter"
  CATEGORIES Graphics Development
  KEYWORDS RGB565 BMP bitmap raw LCD firmware)

tool_program(vaskel dialog
  CAPTION "Vaskel"
  LABEL "Output:"
  OPEN image
  SAVE raw
  JOB pack_fixed_stride
  DESCRIPTION "Convert a 24-bit BMP picture 39 or 40 pixels wide to a raw RGB565 image straight from its pixel data"
  GENERIC_NAME "RGB565 Converter"
  CATEGORIES Graphics Development
  KEYWORDS RGB565 BMP bitmap raw LCD firmware)

tool_program(talvose dialog
  CAPTION "Talvose"
  LABEL "Output:"
  OPEN three_pair
  SAVE three_pair
  JOB unpack
  DESCRIPTION "Convert a raw 568 x 130 RGB565 image back to a 24-bit BMP picture"
  GENERIC_NAME "RGB565 Converter"
  CATEGORIES Graphics Development
  KEYWORDS RGB565 BMP bitmap raw LCD firmware)

tool_program(orvane dialog
  CAPTION "Orvane"
  LABEL "Sub Image:"
  OPEN three_pair
  SAVE three_pair
  JOB subtract
  DESCRIPTION "Subtract one file from another, 32-bit word by word, in place"
  GENERIC_NAME "RGB565 Converter"
  CATEGORIES Graphics Development
  KEYWORDS RGB565 BMP bitmap raw LCD firmware)

tool_program(rgb565 console
  CAPTION "rgb565"
  DESCRIPTION "Convert BMP, PNG, JPEG and GIF pictures to raw RGB565 images and back from the command line")
