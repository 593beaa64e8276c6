// Pieces every window of the converter shares: the Japanese fonts its forms were designed
// with, the conversion from dialog units to pixels, control ids, and the message boxes.
//
// Fonts: the forms name "ＭＳ ゴシック" and "ＭＳ Ｐゴシック"; on Linux they are substituted by
// IPAGothic and IPAPGothic (same metrics family, installed with fonts-ipafont). Point sizes
// are turned into pixels at 96 dots per inch, as the forms were laid out, so a dialog has the
// same pixel size on every screen.
//
// Dialog units: a dialog's coordinates are in units of its font: x × base_x / 4 and
// y × base_y / 8 pixels, rounded like the system's MulDiv, with base_x the average width of
// the 52 Latin letters ((width of "A..Za..z" / 26 + 1) / 2) and base_y the font's line height.
#pragma once

#include <QFont>
#include <QIcon>
#include <QRect>
#include <QSize>
#include <QString>
#include <string>

class QStyle;
class QWidget;

namespace vmui {

// Registers the substitutions for the two form fonts. Safe to call more than once.
void install_font_substitutions();

inline const QString kGothic = QStringLiteral("ＭＳ ゴシック");
inline const QString kPGothic = QStringLiteral("ＭＳ Ｐゴシック");

// A form font of the given point size.
QFont point_font(const QString& family, int points);
// The look of item views whose cells keep one pixel of margin beside their text rather than
// three, for narrow columns that must show their texts whole. One shared instance.
QStyle* tight_item_style();

// Rounds a × b / c half away from zero.
int mul_div(int a, int b, int c);

class DialogUnits {
public:
    explicit DialogUnits(const QFont& font);
    int base_x() const { return base_x_; }
    int base_y() const { return base_y_; }
    QRect rect(int x, int y, int w, int h) const;
    QSize size(int w, int h) const;

private:
    int base_x_;
    int base_y_;
};

// Control ids are kept on every control as the property "controlId", so tests and
// accessibility tools find a control by the number it always had.
void set_control_id(QWidget* w, int id);
int control_id(const QWidget* w);
// The descendant of parent with that id, or null.
QWidget* find_control(const QWidget* parent, int id);
template <class T>
T* find_control_as(const QWidget* parent, int id)
{
    return qobject_cast<T*>(find_control(parent, id));
}

// The program's icon: a film frame with a "V", drawn rather than shipped as a file.
QIcon velmora_icon();

// Makes vm::message_box show modal Qt message boxes captioned "Velmora".
void install_window_message_boxes();

// Loads the toolkit's own Japanese texts (qtbase_ja from Debian's qt6-translations-l10n), so
// that standard dialogs such as the folder browser read Japanese like the rest of the
// program. False when they are not installed (the dialogs then stay English).
bool install_toolkit_translations();

// Whether the window can be opened: a toolkit platform chosen by QT_QPA_PLATFORM or
// -platform, or a display named by DISPLAY or WAYLAND_DISPLAY. why says what is missing.
bool can_open_window(int argc, char** argv, std::string* why);

// While it lives (until release), a fatal toolkit message, such as a display that does not
// answer, ends the program with the message, a hint and status 2 instead of an abort.
class WindowStartupGuard {
public:
    WindowStartupGuard();
    ~WindowStartupGuard() { release(); }
    WindowStartupGuard(const WindowStartupGuard&) = delete;
    WindowStartupGuard& operator=(const WindowStartupGuard&) = delete;
    void release();

private:
    bool released_ = false;
};

} // namespace vmui
