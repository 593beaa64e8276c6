// Where the effects' keyframe records go: the 2D DVE of a Fiesta channel, the wipe and fader
// inputs of a wipe unit, all through the effects graph.
//
// The graph has one operation per numbered channel and unit; the effects pick the number at
// run time (an action drives one channel or another, a wipe one unit or the other), so these
// pick the operation once, here. Each returns the graph's result, or -1 without a graph or
// for a channel (0-4) or unit (0-1) the graph does not have.
#pragma once

#include "effects/mqvidfx_records.h"

class CMQGraph;

namespace zk {

long send_dve_record(CMQGraph* graph, int channel, const MQVIDFX_2DDVE_KEYFRAME& record);
long send_wipe_record(CMQGraph* graph, int unit, const MQVIDFX_WIPE_KEYFRAME& record);
long send_fader_record(CMQGraph* graph, int unit, const MQVIDFX_FADERPOS_KEYFRAME& record);

} // namespace zk
