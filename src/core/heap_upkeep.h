// heap_upkeep.h: keeps the game's resident memory from creeping up over a long session. The
// software GL driver's allocations share the heap with ours; as crates come and go and a reload
// swaps whole worlds of bodies, freed pages between live blocks stay with the process and the
// resident size rises slowly although the live heap does not.
#pragma once

// At start-up: large blocks always get their own mapping, returned whole when freed, instead of
// the threshold creeping up after each large free and later large blocks landing in the heap.
void pinHeapThresholds();
// Hands the free pages of every heap back to the system; a map reload has just freed a world.
void returnFreedHeap();
