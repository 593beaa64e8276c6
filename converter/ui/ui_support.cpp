// Fonts, dialog units, control ids and message boxes of the converter's windows.
#include "ui_support.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <QFontMetrics>
#include <QPainter>
#include <QPixmap>
#include <QPointer>
#include <QProxyStyle>
#include <QMessageBox>
#include <QPushButton>
#include <QWidget>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/message_box.h"

namespace vmui {

void install_font_substitutions()
{
    QFont::insertSubstitution(kGothic, QStringLiteral("IPAGothic"));
    QFont::insertSubstitution(kPGothic, QStringLiteral("IPAPGothic"));
}

QFont point_font(const QString& family, int points)
{
    QFont f(family);
    f.setPixelSize(mul_div(points, 96, 72));
    f.setWeight(QFont::Normal);
    return f;
}

namespace {

class TightItemStyle : public QProxyStyle {
public:
    int pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const override
    {
        // Item views place their cell text this far (plus one) from the cell's sides.
        if (metric == PM_FocusFrameHMargin) return 0;
        return QProxyStyle::pixelMetric(metric, option, widget);
    }
};

} // namespace

QStyle* tight_item_style()
{
    // Parented to the application, which outlives every window and deletes it at the end.
    static QPointer<QStyle> style;
    if (!style) {
        style = new TightItemStyle;
        style->setParent(QCoreApplication::instance());
    }
    return style;
}

int mul_div(int a, int b, int c)
{
    if (c == 0) return -1;
    const long long p = static_cast<long long>(a) * b;
    const long long d = c;
    const long long q = (std::llabs(p) + std::llabs(d) / 2) / std::llabs(d);
    return static_cast<int>((p < 0) != (d < 0) ? -q : q);
}

DialogUnits::DialogUnits(const QFont& font)
{
    const QFontMetrics fm(font);
    const int letters = fm.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    base_x_ = (letters / 26 + 1) / 2;
    base_y_ = fm.height();
}

QRect DialogUnits::rect(int x, int y, int w, int h) const
{
    return QRect(mul_div(x, base_x_, 4), mul_div(y, base_y_, 8), mul_div(w, base_x_, 4), mul_div(h, base_y_, 8));
}

QSize DialogUnits::size(int w, int h) const
{
    return QSize(mul_div(w, base_x_, 4), mul_div(h, base_y_, 8));
}

void set_control_id(QWidget* w, int id)
{
    w->setProperty("controlId", id);
    if (w->objectName().isEmpty()) w->setObjectName(QStringLiteral("ctl%1").arg(id));
}

int control_id(const QWidget* w)
{
    const QVariant v = w->property("controlId");
    return v.isValid() ? v.toInt() : 0;
}

QWidget* find_control(const QWidget* parent, int id)
{
    for (QWidget* w : parent->findChildren<QWidget*>()) {
        if (control_id(w) == id) return w;
    }
    return nullptr;
}

QIcon velmora_icon()
{
    QIcon icon;
    for (int size : {16, 32, 48}) {
        QPixmap pm(size, size);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0x1F, 0x3A, 0x68));
        p.drawRoundedRect(QRectF(0.5, 0.5, size - 1.0, size - 1.0), size / 6.0, size / 6.0);
        // Sprocket holes along both edges, as on a strip of film.
        p.setBrush(QColor(0xE8, 0xEC, 0xF2));
        const double hole = size / 10.0;
        for (int i = 0; i < 4; ++i) {
            const double y = size * (0.14 + 0.22 * i);
            p.drawRect(QRectF(size * 0.06, y, hole, hole));
            p.drawRect(QRectF(size * 0.94 - hole, y, hole, hole));
        }
        QFont f(QStringLiteral("DejaVu Sans"));
        f.setPixelSize(size * 3 / 4);
        f.setBold(true);
        p.setFont(f);
        p.setPen(QColor(0xFF, 0xC8, 0x3C));
        p.drawText(QRect(0, 0, size, size), Qt::AlignCenter, QStringLiteral("V"));
        p.end();
        icon.addPixmap(pm);
    }
    return icon;
}

void install_window_message_boxes()
{
    vm::set_message_handler([](const std::string& text, unsigned style) {
        QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Velmora"), QString::fromStdString(text),
                        QMessageBox::NoButton, QApplication::activeWindow());
        if ((style & 0xF) == vm::MB_YESNO) {
            QPushButton* yes = box.addButton(QStringLiteral("はい(&Y)"), QMessageBox::YesRole);
            QPushButton* no = box.addButton(QStringLiteral("いいえ(&N)"), QMessageBox::NoRole);
            box.setDefaultButton((style & vm::MB_DEFBUTTON2) ? no : yes);
            box.setEscapeButton(no);
            box.exec();
            return box.clickedButton() == yes ? vm::IDYES : vm::IDNO;
        }
        QPushButton* ok = box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
        box.setDefaultButton(ok);
        box.setEscapeButton(ok);
        box.exec();
        return vm::IDOK;
    });
}

bool install_toolkit_translations()
{
    // Owned by the application: it must live as long as the texts are shown.
    auto* translator = new QTranslator(QCoreApplication::instance());
    if (!translator->load(QLocale(QLocale::Japanese, QLocale::Japan), QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    return QCoreApplication::installTranslator(translator);
}

bool can_open_window(int argc, char** argv, std::string* why)
{
    auto set = [](const char* name) {
        const char* v = std::getenv(name);
        return v && *v;
    };
    if (set("QT_QPA_PLATFORM") || set("DISPLAY") || set("WAYLAND_DISPLAY")) return true;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-platform") == 0 || std::strcmp(argv[i], "--platform") == 0) return true;
    }
    if (why) *why = "no display (neither DISPLAY nor WAYLAND_DISPLAY is set)";
    return false;
}

namespace {

QtMessageHandler& previous_handler()
{
    static QtMessageHandler handler = nullptr;
    return handler;
}

void startup_handler(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    if (type != QtFatalMsg) {
        if (QtMessageHandler previous = previous_handler()) previous(type, context, text);
        return;
    }
    const QByteArray message = text.trimmed().toLocal8Bit();
    std::fprintf(stderr,
                 "Velmora: cannot open the window: %s\n"
                 "Use 'Velmora --batch --src DIR --dst DIR' to convert without a window; "
                 "'Velmora --help' lists the options.\n",
                 message.constData());
    std::fflush(stderr);
    std::_Exit(2);
}

} // namespace

WindowStartupGuard::WindowStartupGuard()
{
    previous_handler() = qInstallMessageHandler(startup_handler);
}

void WindowStartupGuard::release()
{
    if (released_) return;
    released_ = true;
    qInstallMessageHandler(previous_handler());
}

} // namespace vmui
