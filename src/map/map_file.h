// map_file.h: map.txt, a float32 quad count and 33-byte quad records, little-endian.
#pragma once

void loadMap();
void saveMap();
