// CString operations that are more than one line.
#include "platform/framework/cstring.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

char ascii_lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }
char ascii_upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }
bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

} // namespace

int CString::Compare(const char* s) const
{
    return std::strcmp(s_.c_str(), s ? s : "");
}

int CString::CompareNoCase(const char* s) const
{
    const char* a = s_.c_str();
    const char* b = s ? s : "";
    for (;; ++a, ++b) {
        const unsigned char ca = static_cast<unsigned char>(ascii_lower(*a));
        const unsigned char cb = static_cast<unsigned char>(ascii_lower(*b));
        if (ca != cb) return ca < cb ? -1 : 1;
        if (ca == 0) return 0;
    }
}

CString CString::Left(int n) const
{
    n = std::clamp(n, 0, GetLength());
    return CString(s_.substr(0, static_cast<size_t>(n)));
}

CString CString::Right(int n) const
{
    n = std::clamp(n, 0, GetLength());
    return CString(s_.substr(s_.size() - static_cast<size_t>(n)));
}

CString CString::Mid(int first) const
{
    return Mid(first, GetLength());
}

CString CString::Mid(int first, int n) const
{
    first = std::clamp(first, 0, GetLength());
    n = std::clamp(n, 0, GetLength() - first);
    return CString(s_.substr(static_cast<size_t>(first), static_cast<size_t>(n)));
}

int CString::Find(char c, int start) const
{
    if (start < 0 || start >= GetLength()) return -1;
    const size_t p = s_.find(c, static_cast<size_t>(start));
    return p == std::string::npos ? -1 : static_cast<int>(p);
}

int CString::Find(const char* sub, int start) const
{
    if (!sub || start < 0 || start > GetLength()) return -1;
    const size_t p = s_.find(sub, static_cast<size_t>(start));
    return p == std::string::npos ? -1 : static_cast<int>(p);
}

int CString::ReverseFind(char c) const
{
    const size_t p = s_.rfind(c);
    return p == std::string::npos ? -1 : static_cast<int>(p);
}

CString& CString::MakeUpper()
{
    std::transform(s_.begin(), s_.end(), s_.begin(), ascii_upper);
    return *this;
}

CString& CString::MakeLower()
{
    std::transform(s_.begin(), s_.end(), s_.begin(), ascii_lower);
    return *this;
}

CString& CString::TrimLeft()
{
    size_t i = 0;
    while (i < s_.size() && is_blank(s_[i])) ++i;
    s_.erase(0, i);
    return *this;
}

CString& CString::TrimLeft(char c)
{
    size_t i = 0;
    while (i < s_.size() && s_[i] == c) ++i;
    s_.erase(0, i);
    return *this;
}

CString& CString::TrimRight()
{
    while (!s_.empty() && is_blank(s_.back())) s_.pop_back();
    return *this;
}

CString& CString::TrimRight(char c)
{
    while (!s_.empty() && s_.back() == c) s_.pop_back();
    return *this;
}

int CString::Replace(char from, char to)
{
    int n = 0;
    for (char& c : s_) {
        if (c == from) { c = to; ++n; }
    }
    return n;
}

int CString::Replace(const char* from, const char* to)
{
    if (!from || !*from) return 0;
    const std::string f(from);
    const std::string t(to ? to : "");
    int n = 0;
    for (size_t p = s_.find(f); p != std::string::npos; p = s_.find(f, p + t.size())) {
        s_.replace(p, f.size(), t);
        ++n;
    }
    return n;
}

int CString::Remove(char c)
{
    const size_t before = s_.size();
    s_.erase(std::remove(s_.begin(), s_.end(), c), s_.end());
    return static_cast<int>(before - s_.size());
}

void CString::FormatV(const char* fmt, va_list args)
{
    va_list copy;
    va_copy(copy, args);
    const int n = std::vsnprintf(nullptr, 0, fmt, copy);
    va_end(copy);
    if (n < 0) { s_.clear(); return; }
    std::string out(static_cast<size_t>(n) + 1, '\0');
    std::vsnprintf(out.data(), out.size(), fmt, args);
    out.resize(static_cast<size_t>(n));
    s_ = std::move(out);
}

void CString::Format(const char* fmt, ...)
{
    va_list args;
    va_start(args, fmt);
    FormatV(fmt, args);
    va_end(args);
}

void CString::AppendFormat(const char* fmt, ...)
{
    CString tail;
    va_list args;
    va_start(args, fmt);
    tail.FormatV(fmt, args);
    va_end(args);
    s_ += tail.s_;
}

char* CString::GetBuffer(int min_length)
{
    if (min_length > GetLength()) s_.resize(static_cast<size_t>(min_length), '\0');
    return s_.data();
}

void CString::ReleaseBuffer(int new_length)
{
    if (new_length < 0) {
        s_.resize(std::strlen(s_.c_str()));
    } else {
        s_.resize(std::min(static_cast<size_t>(new_length), s_.size()));
    }
}
