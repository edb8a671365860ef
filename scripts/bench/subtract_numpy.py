#!/usr/bin/env python3
"""What a user would write instead of rgb565 subtract -o: numpy subtracts two memory-mapped files."""
import sys

import numpy as np

image = np.memmap(sys.argv[1], dtype="<u4", mode="r")
sub = np.memmap(sys.argv[2], dtype="<u4", mode="r", shape=image.shape)
out = np.memmap(sys.argv[3], dtype="<u4", mode="w+", shape=image.shape)
np.subtract(image, sub, out=out)
out.flush()
