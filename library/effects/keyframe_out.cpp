// The keyframe senders of the effects graph, chosen by channel or unit number.
#include "effects/keyframe_out.h"

#include "onair/mq_graph.h"

namespace zk {

long send_dve_record(CMQGraph* graph, int channel, const MQVIDFX_2DDVE_KEYFRAME& record)
{
    if (!graph) return -1;
    switch (channel) {
    case 0: return graph->Send2DDveKeyframe0(&record);
    case 1: return graph->Send2DDveKeyframe1(&record);
    case 2: return graph->Send2DDveKeyframe2(&record);
    case 3: return graph->Send2DDveKeyframe3(&record);
    case 4: return graph->Send2DDveKeyframe4(&record);
    default: return -1;
    }
}

long send_wipe_record(CMQGraph* graph, int unit, const MQVIDFX_WIPE_KEYFRAME& record)
{
    if (!graph) return -1;
    switch (unit) {
    case 0: return graph->SendWipeKeyframe0(&record);
    case 1: return graph->SendWipeKeyframe1(&record);
    default: return -1;
    }
}

long send_fader_record(CMQGraph* graph, int unit, const MQVIDFX_FADERPOS_KEYFRAME& record)
{
    if (!graph) return -1;
    switch (unit) {
    case 0: return graph->SendWipeFaderKeyframe0(&record);
    case 1: return graph->SendWipeFaderKeyframe1(&record);
    default: return -1;
    }
}

} // namespace zk
