// CMQFilterGraph: the playback-error messages. A record a filter sends with severity 3 or more
// stops the graph and is shown to the operator in a message box, worded by its severity.
#include "onair/mq_filter_graph.h"

#include <cstdio>
#include <string>

#include "onair/mq_graph_internal.h"

namespace {

// Formats one of the message-box texts: the return code and the description in UTF-8 where
// the text says %ls.
std::string box_text(const char* format, HRESULT code, const std::u16string& description)
{
    std::string fmt = format;
    const size_t ls = fmt.find("%ls");
    if (ls != std::string::npos) fmt.replace(ls, 3, "%s");
    const std::string desc = zk::to_ansi(description);
    char buf[1024];
    std::snprintf(buf, sizeof buf, fmt.c_str(), static_cast<unsigned>(code), desc.c_str());
    return buf;
}

} // namespace

BOOL CMQFilterGraph::HandleMQEvent(CMQEventInfo& info)
{
    const DWORD severity = info.GetSeverity();
    if (severity < 3) return TRUE;
    m_bLoop = FALSE;
    const HRESULT hr = ChangeState(MQFG_CHANGE_STOP);
    if (FAILED(hr)) ReportError("Stop reports an error after receiving error event", hr);
    ResetPositions();
    PostNotify(MQFG_NOTIFY_STOPPED, 0);
    std::u16string description = info.GetDescription(255);
    if (description.empty()) description = u"<no description>";

    const char* format;
    UINT icon = MB_ICONERROR;
    switch (severity) {
    case 3:
        icon = MB_ICONWARNING;
        format = "There was an error reported by the filter graph during the playback process.\n\nReturn code: "
                 "0x%08X\nDescription: %ls\n\nThe filter graph was stopped automatically.";
        break;
    case 4:
        icon = MB_ICONWARNING;
        format = "There was a warning reported by the filter graph during the playback process, probably because a "
                 "cut-list specified an invalid or absent source file.\n\nReturn code: 0x%08X\nDescription: "
                 "%ls\n\nThe filter graph was stopped automatically.\nPlease verify the validity of the elements "
                 "contained in cut-lists before re-starting the filter graph.";
        break;
    case 5:
        format = "There was an error reported by the filter graph during the playback process.\n\nReturn code: "
                 "0x%08X\nDescription: %ls\n\nThe filter graph was stopped automatically.\nPlease save your work "
                 "and close the current document.";
        break;
    case 6:
        format = "There was a fatal error reported by the filter graph during the playback process.\n\nReturn code: "
                 "0x%08X\nDescription: %ls\n\nThe filter graph was stopped automatically.\nPlease save your work "
                 "and close the current application.";
        break;
    case 7:
        format = "There was a fatal error reported by the filter graph during the playback process.\nReturn code: "
                 "0x%08X\nDescription: %ls\n\nThe filter graph was stopped automatically.\nPlease save your work "
                 "and reboot your system.";
        break;
    default:
        format = "There was an unknown type of error reported by a filter in the filter graph (unknown "
                 "severity).\nReturn code: 0x%08X\nDescription: %ls\n\nThe filter graph was stopped automatically.";
        break;
    }
    const std::string text = box_text(format, info.GetReturnCode(), description);
    MessageBox(nullptr, text.c_str(), zk::kCaption, MB_SYSTEMMODAL | icon);
    return FALSE;
}
