#pragma once
// The plume and travel grids over the network window: the cell of a world
// point, and the downwind dispersion of the plume that no step of a run calls.
#include "core/model/sim.h"

namespace velm {

// The cell (ix, iy), 1..100 each, of the world point (x, y) km in window 1;
// false when the point lies outside the grid. Cell k along x covers
// (xmin + (k - 1) w / 100, xmin + k w / 100]: the left and bottom edges are
// outside.
bool grid_cell(const Sim& s, float x, float y, int& ix, int& iy);

// Moves the dispersion state and the last minute's plume one interval of
// `inter` seconds downwind with the wind of the latest reading of station 1.
void plumdisp(Sim& s, int inter);

// Target (x2, y2) of move m (1..5) from (x1, y1) and its weight w1, for the
// mean wind spd1 and its spread spd2 (km/h) whose displacements over the
// interval are (xspd1, yspd1) and (xspd2, yspd2) km.
void pickxy(int m, float x1, float y1, float spd1, float spd2, float xspd1, float xspd2,
            float yspd1, float yspd2, float& x2, float& y2, float& w1);

} // namespace velm
