// map_loading.h: loading map.txt into the running game, at start-up and on keys 7 and 8.
#pragma once

// At start-up (no world yet) creates the physics world, then reads map.txt. On a reload, once
// the file is known to be readable, moves every actor body into a fresh world and replaces all
// quads with the file's; a missing or unreadable file leaves the game as it was. Prints the
// loading lines on standard output. A reload is one undoable map edit: undo gives back the map
// it replaced. True when map.txt was read.
bool loadMap();
