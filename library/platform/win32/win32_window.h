// The user-interface services the library needs without having a user interface of its own:
// posting a message to a host window, message boxes, and the debugger output.
//
// A window is whatever the host registers: register_window gives it an opaque HWND and a
// handler. PostMessage calls that handler on the posting thread (often a worker thread of the
// library), so handlers must be quick and must not wait for the library; a host with a real
// message loop forwards the call to its user-interface thread. Message boxes go to one
// replaceable sink; the default writes caption and text to standard error and answers IDOK,
// so a library without a screen never blocks on a box nobody can close.
#pragma once

#include <functional>

#include "core/zorvik_api.h"
#include "platform/framework/win_types.h"

struct HWND__;
using HWND = HWND__*;

constexpr UINT MB_OK = 0x00000000;
constexpr UINT MB_ICONHAND = 0x00000010;
constexpr UINT MB_ICONERROR = MB_ICONHAND;
constexpr UINT MB_ICONSTOP = MB_ICONHAND;
constexpr UINT MB_ICONEXCLAMATION = 0x00000030;
constexpr UINT MB_ICONWARNING = MB_ICONEXCLAMATION;
constexpr UINT MB_ICONINFORMATION = 0x00000040;
constexpr UINT MB_ICONMASK = 0x000000F0;
constexpr UINT MB_SYSTEMMODAL = 0x00001000;
constexpr int IDOK = 1;

constexpr DWORD ERROR_INVALID_WINDOW_HANDLE = 1400;

ZORVIK_API BOOL PostMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
ZORVIK_API BOOL IsWindow(HWND window);
ZORVIK_API int MessageBox(HWND owner, const char* text, const char* caption, UINT type);
ZORVIK_API void OutputDebugString(const char* text);

namespace zk {

using WindowHandler = std::function<void(UINT message, WPARAM wParam, LPARAM lParam)>;

// A new window handle delivering to `handler`; unregister_window waits for calls in progress.
ZORVIK_API HWND register_window(WindowHandler handler);
ZORVIK_API void unregister_window(HWND window);

using MessageBoxSink = std::function<int(HWND owner, const char* text, const char* caption, UINT type)>;
// Installs a message-box sink and returns the one it replaced; an empty sink restores the default.
ZORVIK_API MessageBoxSink set_message_box_sink(MessageBoxSink sink);

// Receives every OutputDebugString text (besides standard error when ZORVIK_DEBUG_OUTPUT is set).
ZORVIK_API void set_debug_output_observer(std::function<void(const char*)> observer);

} // namespace zk
