// How the converter asks the C library to manage the memory of its frame buffers.
//
// Every file of a run allocates and frees the same few large buffers (the loaded picture,
// the canvas, the cut piece, the resized and smoothed results: about 8 MB each for a
// 1920 × 1080 source). With the allocator's defaults each of them is mapped fresh from the
// kernel and handed back when freed, so every file pays for faulting in and zeroing tens of
// megabytes of new pages again; that costs more than the conversion itself. Keeping freed
// buffers of up to 32 MB inside the process lets the next file reuse the pages already
// mapped. Pictures larger than that are still mapped and returned one by one.
#pragma once

namespace vm {

// Applies the allocator settings above to the whole process; call it once at start, before
// the first picture is loaded. Returns false when the C library refused a setting (the
// program works the same, only slower).
bool keep_frame_memory_in_process();

} // namespace vm
