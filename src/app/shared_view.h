// shared_view.h: what a player of a shared session sees of the others: each player's cursor in
// their colour with their name, crates and cars in the colour of who made them, and Tab's list of
// the players with their ping. Nothing of it shows outside a shared session.
#pragma once

// Sees each key of the window first: Tab shows or hides the list of players (this window's view
// only, never a command) and reaches the game no further; any other key passes through.
unsigned char sharedViewKey(unsigned char key);
// World coordinates: the makers' colours over their crates and cars, the others' cursors.
void drawSharedWorldMarks();
// View units from the top-left corner, as the HUD: the others' names and Tab's list.
void drawSharedHud();
