#pragma once
// Output rates of the master file and the counts of output instants they give;
// the routing side keeps its tree tables here too.
namespace velm {

struct mod_trees {
    int pd_ot1 = 0; // s, level-of-service summaries; negative: first at the end of a period; 0 off
    int pd_ot2 = 0; // s, periodic flow, turn, tree, signal and plume listings; 0 off
    int pd_ot3 = 0; // never read: always 0
    int pd_ot4 = 0; // read and echoed only
    int np_ot1 = 0; // output instants of rate 1 over the horizon
    int np_ot2 = 0; // output instants of rate 2 over the horizon
    int np_in = 0;  // periods of the future link costs (slot 7); 0 until read
};

} // namespace velm
