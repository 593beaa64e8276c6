// CWnd: the framework's window, as far as the library needs one.
//
// The library only ever asks a window for its handle (the font lookups take it for a device
// context, and the on-air layer posts messages to it). A host wraps its own window handle in
// a CWnd, or passes none: every user accepts a null window.
#pragma once

#include "core/zorvik_api.h"
#include "platform/framework/win_types.h"

class ZORVIK_API CWnd {
public:
    CWnd() = default;
    explicit CWnd(HWND hwnd) : m_hWnd(hwnd) {}
    virtual ~CWnd() = default;

    HWND GetSafeHwnd() const { return m_hWnd; }

    HWND m_hWnd = nullptr;
};
