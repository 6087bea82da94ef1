// Placeholder; replaced by the raster and PPD writers.
