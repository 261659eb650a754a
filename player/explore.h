#pragma once

#include <vector>

#include "document/model.h"

// Every page a viewer can get to, found by playing the menu on the player model: from each of the
// ways into the menu, every page reached is played again and again, choosing each selection by a
// click and by the remote's keys (at every frame where the page's prohibit window could matter),
// closing every message, pressing "Menu button" after the menu is left, and playing the page to its
// end or skipping it. The result has one entry per page of the list, true where a viewer gets.
std::vector<bool> pagesReachedByPlaying(const MenuProject& project);
