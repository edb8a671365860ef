#!/usr/bin/env python3
"""What a user would write instead of rgb565 pack: Pillow reads the BMP, numpy packs RGB565."""
import sys

import numpy as np
from PIL import Image

Image.MAX_IMAGE_PIXELS = None
pixels = np.asarray(Image.open(sys.argv[1]).convert("RGB"), dtype=np.uint16)
words = ((pixels[..., 0] >> 3) << 11) | ((pixels[..., 1] >> 2) << 5) | (pixels[..., 2] >> 3)
words.astype("<u2").tofile(sys.argv[2])
