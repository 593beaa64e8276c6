// Velmora: the still-image converter. With --batch (or --help, --version) it converts from
// the command line without any window; otherwise it opens its conversion window, and says
// so clearly, with status 2, when there is no display to open it on.
#include <cstdio>
#include <string>

#include "batch/batch_mode.h"
#include "core/frame_memory.h"
#include "ui/ui_support.h"
#include "ui/velmora_app.h"

int main(int argc, char** argv)
{
    vm::keep_frame_memory_in_process();
    if (vmbatch::WantsBatch(argc, argv)) return vmbatch::RunBatchMain(argc, argv);

    std::string why;
    if (!vmui::can_open_window(argc, argv, &why)) {
        std::fprintf(stderr,
                     "Velmora: cannot open the window: %s.\n"
                     "Use 'Velmora --batch --src DIR --dst DIR' to convert without a window; "
                     "'Velmora --help' lists the options.\n",
                     why.c_str());
        return vmbatch::kUsageError;
    }
    vmui::WindowStartupGuard guard;  // a display that does not answer ends the same way
    CVelmoraApp app(argc, argv);
    guard.release();
    if (!app.InitInstance()) return app.ExitInstance(0);
    return app.ExitInstance(app.exec());
}
