// Velmora: the still-image converter. With --batch (or --help) it converts from the command
// line without any window; otherwise it opens its conversion window.
#include "batch/batch_mode.h"
#include "core/frame_memory.h"
#include "ui/velmora_app.h"

int main(int argc, char** argv)
{
    vm::keep_frame_memory_in_process();
    if (vmbatch::WantsBatch(argc, argv)) return vmbatch::RunBatchMain(argc, argv);

    CVelmoraApp app(argc, argv);
    if (!app.InitInstance()) return app.ExitInstance(0);
    return app.ExitInstance(app.exec());
}
