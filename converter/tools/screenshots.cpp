// velmora_screenshots: pictures of the converter's windows for people who cannot run it:
// the main window listing a source and a destination folder with rows selected and
// "カスタム" confirmed, the custom dialog, the new-folder dialog and the version dialog.
//
//   velmora_screenshots SRC_DIR DST_DIR OUT_DIR
//
// Run it on a real or virtual X display (scripts/screenshots.sh uses xvfb-run). The settings
// come from a file written into OUT_DIR, so the windows show these folders whatever the
// current directory holds.
#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QTimer>
#include <QTreeWidget>
#include <cstdio>

#include "core/message_box.h"
#include "core/velmora_doc.h"
#include "ui/custom_setting_dlg.h"
#include "ui/main_frame.h"
#include "ui/make_folder_dlg.h"
#include "ui/ui_support.h"
#include "ui/velmora_view.h"
#include "ui/version_dlg.h"

namespace {

bool save(QWidget* w, const QString& path)
{
    w->show();
    for (int i = 0; i < 20; ++i) QApplication::processEvents();
    const bool ok = w->grab().save(path);
    std::printf("%s %s\n", ok ? "wrote" : "could not write", qPrintable(path));
    return ok;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc != 4) {
        std::fprintf(stderr, "usage: velmora_screenshots SRC_DIR DST_DIR OUT_DIR\n");
        return 2;
    }
    const QString src = QDir(QString::fromLocal8Bit(argv[1])).absolutePath();
    const QString dst = QDir(QString::fromLocal8Bit(argv[2])).absolutePath();
    const QString out = QDir(QString::fromLocal8Bit(argv[3])).absolutePath();
    QDir().mkpath(out);
    vmui::install_font_substitutions();
    app.setFont(vmui::point_font(vmui::kPGothic, 9));
    vm::set_message_handler([](const std::string& text, unsigned style) {
        std::printf("message: %s\n", text.c_str());
        return vm::default_answer(style);
    });

    const QString ini = out + QStringLiteral("/screenshots.INI");
    QFile f(ini);
    if (!f.open(QIODevice::WriteOnly)) return 1;
    f.write(QStringLiteral("[GENERAL]\nPATHFLG=1\nSRCPATH=\"%1\"\nDSTPATH=\"%2\"\nCUSTOM=1\n"
                           "W2=720\nH2=486\nCUTX2=240\nCUTY2=0\nCUTW2=1440\nCUTH2=1080\nFILTER2=1\nKEY2=1\n")
                .arg(src, dst)
                .toUtf8());
    f.close();

    bool ok = true;
    CMainFrame frame(ini.toStdString());
    frame.GetView()->RefreshDestList();
    // Confirm "カスタム" with the preset the settings select, as an operator would.
    QTimer::singleShot(0, [] {
        if (auto* dlg = qobject_cast<CCustomSettingDlg*>(QApplication::activeModalWidget())) dlg->accept();
    });
    vmui::find_control_as<QAbstractButton>(&frame, CVelmoraView::IDC_RADIO_CUSTOM)->click();
    auto* list = vmui::find_control_as<QTreeWidget>(&frame, CVelmoraView::IDC_LIST_SRC);
    for (int row = 0; row < list->topLevelItemCount() && row < 3; ++row) list->topLevelItem(row)->setSelected(true);
    ok &= save(&frame, out + QStringLiteral("/main_window.png"));

    CCustomSettingDlg custom(&frame);
    custom.m_Preset1 = frame.GetDocument()->Preset1;
    custom.m_Preset2 = frame.GetDocument()->Preset2;
    custom.m_nCustom = frame.GetDocument()->m_nCustom;
    custom.OnInitDialog();
    ok &= save(&custom, out + QStringLiteral("/custom_dialog.png"));
    custom.hide();

    CMakeFolderDlg folder(frame.GetDocument(), &frame);
    folder.m_editName->setText(QStringLiteral("新しいフォルダ"));
    ok &= save(&folder, out + QStringLiteral("/new_folder_dialog.png"));
    folder.hide();

    CVersionDlg version(&frame);
    version.OnInitDialog();
    ok &= save(&version, out + QStringLiteral("/version_dialog.png"));
    version.hide();

    QFile::remove(ini);
    return ok ? 0 : 1;
}
