// CString: the framework's byte string, as it crosses the library's interface.
//
// Text in this system is multibyte bytes in the library's code page (UTF-8 by default,
// Shift-JIS when selected); CString never interprets them. Lengths and positions are in bytes.
// Only the operations the library and its programs use are offered.
#pragma once

#include <cstdarg>
#include <string>
#include <string_view>

#include "core/zorvik_api.h"

class ZORVIK_API CString {
public:
    CString() = default;
    CString(const char* s) : s_(s ? s : "") {}
    CString(const char* s, int n) : s_(s ? std::string(s, n > 0 ? static_cast<size_t>(n) : 0) : std::string()) {}
    CString(char c, int repeat = 1) : s_(repeat > 0 ? static_cast<size_t>(repeat) : 0, c) {}
    CString(std::string s) : s_(std::move(s)) {}
    CString(std::string_view s) : s_(s) {}

    int GetLength() const { return static_cast<int>(s_.size()); }
    bool IsEmpty() const { return s_.empty(); }
    void Empty() { s_.clear(); }
    char GetAt(int i) const { return s_.at(static_cast<size_t>(i)); }
    void SetAt(int i, char c) { s_.at(static_cast<size_t>(i)) = c; }
    char operator[](int i) const { return GetAt(i); }
    operator const char*() const { return s_.c_str(); }
    const char* GetString() const { return s_.c_str(); }
    const std::string& str() const { return s_; }
    std::string_view view() const { return s_; }

    CString& operator=(const char* s) { s_ = s ? s : ""; return *this; }
    CString& operator+=(const CString& o) { s_ += o.s_; return *this; }
    CString& operator+=(const char* s) { if (s) s_ += s; return *this; }
    CString& operator+=(char c) { s_ += c; return *this; }
    friend CString operator+(const CString& a, const CString& b) { return CString(a.s_ + b.s_); }
    friend CString operator+(const CString& a, const char* b) { return CString(a.s_ + (b ? b : "")); }
    friend CString operator+(const char* a, const CString& b) { return CString((a ? a : "") + b.s_); }
    friend CString operator+(const CString& a, char c) { return CString(a.s_ + c); }

    friend bool operator==(const CString& a, const CString& b) { return a.s_ == b.s_; }
    friend bool operator==(const CString& a, const char* b) { return a.s_ == (b ? b : ""); }
    friend bool operator<(const CString& a, const CString& b) { return a.s_ < b.s_; }

    // strcmp-like ordering; CompareNoCase folds ASCII letters only.
    int Compare(const char* s) const;
    int CompareNoCase(const char* s) const;

    CString Left(int n) const;
    CString Right(int n) const;
    CString Mid(int first) const;
    CString Mid(int first, int n) const;
    // Byte positions; -1 when not found.
    int Find(char c, int start = 0) const;
    int Find(const char* sub, int start = 0) const;
    int ReverseFind(char c) const;

    // ASCII case changes: bytes of multibyte characters are left alone.
    CString& MakeUpper();
    CString& MakeLower();
    // Without an argument blanks (space, tab, CR, LF) are trimmed.
    CString& TrimLeft();
    CString& TrimLeft(char c);
    CString& TrimRight();
    CString& TrimRight(char c);
    CString& Trim() { TrimRight(); return TrimLeft(); }
    int Replace(char from, char to);
    int Replace(const char* from, const char* to);
    int Remove(char c);

    void Format(const char* fmt, ...) __attribute__((format(printf, 2, 3)));
    void FormatV(const char* fmt, va_list args);
    void AppendFormat(const char* fmt, ...) __attribute__((format(printf, 2, 3)));

    // Direct access for C-style fillers: GetBuffer makes room for at least n bytes plus a
    // terminator; ReleaseBuffer(-1) takes the length up to the first NUL.
    char* GetBuffer(int min_length = 0);
    void ReleaseBuffer(int new_length = -1);

private:
    std::string s_;
};
