// The converter without a window, for scripts and headless machines:
//
//   Velmora --batch --src DIR --dst DIR [--format tga|tga-raw|jpg|bmp|pict]
//           [--aspect off|widen|narrow|custom] [--size WxH] [--cut X,Y,W,H]
//           [--passes N] [--key linear|self] [--preset 1|2] [--ini FILE] [files...]
//
// It drives the same document as the window (same settings file, same conversion, same
// messages), prints one line per file and a summary, and ends with status 0 when every
// file was converted, 1 when any failed and 2 when the command line or a folder is wrong.
#pragma once

#include <QStringList>
#include <cstdio>

namespace vmbatch {

enum ExitStatus { kAllConverted = 0, kSomeFailed = 1, kUsageError = 2 };

// Whether a command line asks for the batch mode (or its help) rather than the window.
bool WantsBatch(int argc, char** argv);

// Runs the batch mode with its own QCoreApplication.
int RunBatchMain(int argc, char** argv);

// The batch mode proper: arguments as the program received them (the first is the program).
// Progress goes to out, problems to err. Needs a QCoreApplication only for its arguments.
int RunBatch(const QStringList& arguments, std::FILE* out, std::FILE* err);

} // namespace vmbatch
