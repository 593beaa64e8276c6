// The converter's windows on Qt's offscreen platform: the form's layout, the conversion run
// and its messages, the custom dialog and the aspect choice, the new-folder dialog, the
// version dialog, the close confirmation and the single-instance handshake. Message boxes are
// answered by a recorder; modal dialogs are driven from a timer once they are up.
#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest>
#include <filesystem>
#include <functional>

#include "../converter_test_support.h"
#include "core/velmora_doc.h"
#include "imagefile/img_file.h"
#include "ui/custom_setting_dlg.h"
#include "ui/main_frame.h"
#include "ui/make_folder_dlg.h"
#include "ui/single_instance.h"
#include "ui/spin_button.h"
#include "ui/ui_support.h"
#include "ui/velmora_view.h"
#include "ui/version_dlg.h"

namespace {

// Runs `act` on the next modal dialog of type T once it is shown.
template <class T>
void when_modal(std::function<void(T*)> act)
{
    QTimer::singleShot(0, [act] {
        T* dlg = qobject_cast<T*>(QApplication::activeModalWidget());
        QVERIFY2(dlg, "the expected dialog is not up");
        act(dlg);
    });
}

void click(QWidget* parent, int id)
{
    auto* b = vmui::find_control_as<QAbstractButton>(parent, id);
    QVERIFY2(b, qPrintable(QStringLiteral("no button %1").arg(id)));
    b->click();
}

QString ini_with(const QString& name, const QString& body)
{
    const std::string path = zt::temp_path(name.toStdString());
    vt::write_file(path, body.toStdString());
    return QString::fromStdString(path);
}

} // namespace

class WindowTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { vmui::install_font_substitutions(); }

    void formControlsSitWhereTheyWereDesigned_data();
    void formControlsSitWhereTheyWereDesigned();
    void mainWindowIsFixedAtTheTopLeft();
    void textsTheFormMustShowWholeFit();
    void startUpListsTheFoldersWhenTheSettingsAskForIt();
    void selectedRowsAreConvertedAndListed();
    void convertWithNothingSelectedSaysSo();
    void convertWithoutDestinationStopsTheRun();
    void unreadableEntriesAreLeftOutAndNamedOnce();
    void customSizeThatIsNoPictureSizeIsSaidOnce();
    void standardDialogsSpeakJapanese();
    void customCancelRestoresTheLastConfirmedChoice();
    void customOkSetsTheValuesAndTheSizeLabel();
    void customOpensOnTheSelectedPresetAndReloadsPresets();
    void offAfterCustomClearsPresetPassesAndKeys();
    void newFolderJoinsBaseAndNameWithOneSeparator();
    void newFolderReportsAFolderThatExists();
    void newFolderIgnoresEnterAndEmptyNames();
    void versionDialogShowsNameVersionAndNotice();
    void closeAnsweredNoKeepsTheWindow();
    void exitButtonAsksBeforeClosing();
    void secondStartActivatesTheFirst();
};

void WindowTest::formControlsSitWhereTheyWereDesigned_data()
{
    QTest::addColumn<int>("id");
    QTest::addColumn<QRect>("rect");
    QTest::addColumn<QString>("text");
    const struct {
        int id, x, y, w, h;
        const char* text;
    } rows[] = {
        {1300, 5, 12, 400, 25, ""},          {1320, 410, 12, 80, 25, "参  照"}, {1301, 520, 12, 325, 25, ""},
        {1328, 850, 12, 65, 25, "上 書"},    {1321, 915, 12, 65, 25, "参 照"},  {1327, 981, 12, 25, 25, ""},
        {1340, 5, 50, 485, 580, ""},         {1341, 520, 50, 485, 580, ""},     {1362, 15, 653, 70, 20, "出力形式"},
        {1330, 80, 648, 60, 25, "TGA(圧)"},  {1346, 140, 648, 60, 25, "TGA(非)"}, {1334, 200, 648, 60, 25, "JPG"},
        {1338, 260, 648, 60, 25, "BMP"},     {1342, 320, 648, 60, 25, "PICT"},  {1360, 405, 653, 350, 20, "ｱｽﾍﾟｸﾄ"},
        {1322, 450, 648, 70, 25, "拡大"},    {1323, 520, 648, 70, 25, "縮小"},  {1331, 590, 648, 70, 25, "カスタム"},
        {1324, 660, 648, 70, 25, "OFF"},     {1363, 740, 645, 100, 40, "高さ：500\n 幅 ：400"},
        {1325, 835, 648, 80, 25, "実  行"},  {1326, 920, 648, 80, 25, "終  了"},
    };
    for (const auto& r : rows) {
        QTest::newRow(QByteArray::number(r.id).constData())
            << r.id << QRect(r.x, r.y, r.w, r.h) << QString::fromUtf8(r.text);
    }
}

void WindowTest::formControlsSitWhereTheyWereDesigned()
{
    QFETCH(int, id);
    QFETCH(QRect, rect);
    QFETCH(QString, text);
    CVelmoraDoc doc;
    CVelmoraView view(&doc);
    view.OnInitialUpdate(zt::temp_path("absent.INI"));
    QWidget* w = vmui::find_control(&view, id);
    QVERIFY(w);
    QCOMPARE(w->geometry(), rect);
    if (auto* b = qobject_cast<QAbstractButton*>(w)) QCOMPARE(b->text(), text);
    if (auto* l = qobject_cast<QLabel*>(w)) QCOMPARE(l->text(), text);
    if (auto* list = qobject_cast<QTreeWidget*>(w)) {
        QCOMPARE(list->columnCount(), 4);
        const QStringList headers{"ファイル名", "サイズ", "更新日付", "画像サイズ"};
        const int widths[4] = {195, 50, 150, 80};
        for (int c = 0; c < 4; ++c) {
            QCOMPARE(list->headerItem()->text(c), headers[c]);
            QCOMPARE(list->columnWidth(c), widths[c]);
        }
        QCOMPARE(list->selectionMode(),
                 id == 1340 ? QAbstractItemView::ExtendedSelection : QAbstractItemView::SingleSelection);
    }
    // The bottom row carries the form's own font.
    if (rect.y() >= 645) QCOMPARE(w->font().family(), vmui::kGothic);
}

void WindowTest::mainWindowIsFixedAtTheTopLeft()
{
    CMainFrame frame(zt::temp_path("absent.INI"));
    QCOMPARE(frame.centralWidget()->size(), QSize(1016, 710));
    QCOMPARE(frame.minimumSize(), frame.maximumSize());
    QCOMPARE(frame.pos(), QPoint(0, 0));
    QVERIFY(!(frame.windowFlags() & Qt::WindowMaximizeButtonHint));
    QVERIFY(frame.windowFlags() & Qt::WindowMinimizeButtonHint);
    QCOMPARE(frame.windowTitle(), QStringLiteral("Velmora - Velmora"));
    QStringList menus;
    for (QAction* a : frame.menuBar()->actions()) {
        menus << a->text();
        for (QAction* item : a->menu()->actions()) menus << item->text();
    }
    QCOMPARE(menus, (QStringList{"ﾌｧｲﾙ(&F)", "ｱﾌﾟﾘｹｰｼｮﾝの終了(&X)", "ﾍﾙﾌﾟ(&H)", "ﾊﾞｰｼﾞｮﾝ情報(Velmora) (&A)..."}));
    // Defaults on first showing.
    QVERIFY(vmui::find_control_as<QRadioButton>(&frame, 1324)->isChecked());
    QVERIFY(vmui::find_control_as<QRadioButton>(&frame, 1330)->isChecked());
    QVERIFY(vmui::find_control(&frame, 1363)->isHidden());
}

void WindowTest::textsTheFormMustShowWholeFit()
{
    CMainFrame frame(zt::temp_path("absent.INI"));
    // Every radio button and label of the bottom row holds its whole text.
    for (int id : {1330, 1346, 1334, 1338, 1342, 1322, 1323, 1331, 1324}) {
        auto* r = vmui::find_control_as<QRadioButton>(&frame, id);
        QVERIFY2(r->sizeHint().width() <= r->width(), qPrintable(QStringLiteral("%1: %2 > %3")
                                                                   .arg(r->text())
                                                                   .arg(r->sizeHint().width())
                                                                   .arg(r->width())));
    }
    for (int id : {1362, 1360}) {
        auto* l = vmui::find_control_as<QLabel>(&frame, id);
        QVERIFY(l->sizeHint().width() <= l->width());
    }
    // File sizes up to five digits of kilobytes stand whole in the size column, with the
    // margin the list keeps on each side of a cell's text.
    for (int id : {1340, 1341}) {
        auto* list = vmui::find_control_as<QTreeWidget>(&frame, id);
        const int margin = list->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, list) + 1;
        for (const char* text : {"1308 KB", "99999 KB"}) {
            const int need = QFontMetrics(list->font()).horizontalAdvance(QString::fromUtf8(text)) + 2 * margin;
            QVERIFY2(need <= list->columnWidth(1), qPrintable(QStringLiteral("%1 needs %2").arg(text).arg(need)));
        }
        const int need = QFontMetrics(list->font()).horizontalAdvance(QStringLiteral("1920×1080")) + 2 * margin;
        QVERIFY(need <= list->columnWidth(3));
    }
}

void WindowTest::startUpListsTheFoldersWhenTheSettingsAskForIt()
{
    const std::string src = vt::fresh_dir("ui-start-src");
    const std::string dst = vt::fresh_dir("ui-start-dst");
    vt::write_file(src + "/one.tga", std::string(2000, 'x'));
    vt::write_file(src + "/two.JPG", "x");
    vt::write_file(dst + "/old.bmp", "x");
    const QString ini = ini_with(QStringLiteral("start.INI"),
                                 QStringLiteral("[GENERAL]\nPATHFLG=1\nSRCPATH=\"%1\"\nDSTPATH=%2\n")
                                     .arg(QString::fromStdString(src), QString::fromStdString(dst)));
    vt::MessageRecorder boxes;
    CMainFrame frame(ini.toStdString());
    auto* list = vmui::find_control_as<QTreeWidget>(&frame, 1340);
    QCOMPARE(list->topLevelItemCount(), 2);
    QCOMPARE(list->topLevelItem(0)->text(0), QStringLiteral("one.tga"));
    QCOMPARE(list->topLevelItem(0)->text(1), QStringLiteral("2 KB"));
    QCOMPARE(list->topLevelItem(0)->data(0, Qt::UserRole).toInt(), 0);
    QCOMPARE(list->topLevelItem(1)->text(0), QStringLiteral("two.JPG"));
    QCOMPARE(list->topLevelItem(1)->data(0, Qt::UserRole).toInt(), 1);
    QCOMPARE(list->topLevelItem(1)->text(3), QStringLiteral("0×0"));  // not a readable picture
    // The destination is shown but not listed until it is refreshed.
    QCOMPARE(vmui::find_control_as<QLineEdit>(&frame, 1301)->text(), QString::fromStdString(dst) + "/");
    QCOMPARE(vmui::find_control_as<QTreeWidget>(&frame, 1341)->topLevelItemCount(), 0);
    QCOMPARE(vmui::find_control_as<QLineEdit>(&frame, 1300)->text(), QString::fromStdString(src) + "/");
    QCOMPARE(QString::fromStdString(frame.GetDocument()->m_strDstBasePath.str()), QString::fromStdString(dst) + "/");
    QVERIFY(boxes.texts.empty());
}

void WindowTest::selectedRowsAreConvertedAndListed()
{
    const std::string src = vt::fresh_dir("ui-convert-src");
    const std::string dst = vt::fresh_dir("ui-convert-dst");
    CKrFrameBuffer pic(64, 48, 1);
    pic.ClearCol(0xFF4080C0u);
    for (const char* name : {"a.bmp", "b.tga", "c.jpg"}) {
        CImgFile f;
        QCOMPARE(f.SaveImage(&pic, CString(src + "/" + name)), 0);
    }
    const QString ini = ini_with(QStringLiteral("convert.INI"),
                                 QStringLiteral("[GENERAL]\nPATHFLG=1\nSRCPATH=%1\nDSTPATH=%2\n")
                                     .arg(QString::fromStdString(src), QString::fromStdString(dst)));
    vt::MessageRecorder boxes;
    CMainFrame frame(ini.toStdString());
    auto* list = vmui::find_control_as<QTreeWidget>(&frame, 1340);
    QCOMPARE(list->topLevelItemCount(), 3);
    QCOMPARE(list->topLevelItem(0)->text(3), QStringLiteral("64×48"));
    // Rows in listing order: b.tga, a.bmp, c.jpg. Convert the BMP and the JPEG to "TGA(非)",
    // widened.
    QCOMPARE(list->topLevelItem(1)->text(0), QStringLiteral("a.bmp"));
    list->topLevelItem(1)->setSelected(true);
    list->topLevelItem(2)->setSelected(true);
    click(&frame, 1346);
    click(&frame, 1322);
    click(&frame, 1325);
    QCOMPARE(boxes.texts, (std::vector<std::string>{"変換処理が終了しました。"}));
    QCOMPARE(CVelmoraDoc::GetImageSize(CString(dst + "//a.tga")), CSize(72, 48));
    QCOMPARE(CVelmoraDoc::GetImageSize(CString(dst + "//c.tga")), CSize(72, 48));
    auto* out = vmui::find_control_as<QTreeWidget>(&frame, 1341);
    QCOMPARE(out->topLevelItemCount(), 2);
    QCOMPARE(out->topLevelItem(0)->text(0), QStringLiteral("a.tga"));
    QCOMPARE(out->topLevelItem(0)->text(3), QStringLiteral("72×48"));
    QVERIFY(!frame.GetView()->m_bConverted);
    QVERIFY(!QApplication::overrideCursor());
}

void WindowTest::convertWithNothingSelectedSaysSo()
{
    const std::string src = vt::fresh_dir("ui-none-src");
    vt::write_file(src + "/a.tga", "x");
    const QString ini = ini_with(QStringLiteral("none.INI"),
                                 QStringLiteral("[GENERAL]\nPATHFLG=1\nSRCPATH=%1\nDSTPATH=%1\n").arg(QString::fromStdString(src)));
    CMainFrame frame(ini.toStdString());
    vt::MessageRecorder boxes;
    click(&frame, 1325);
    QCOMPARE(boxes.texts, (std::vector<std::string>{"変換ファイルが選択されていません。\nファイルを選択して下さい。"}));
    // The destination list was refreshed all the same.
    QCOMPARE(vmui::find_control_as<QTreeWidget>(&frame, 1341)->topLevelItemCount(), 1);
}

void WindowTest::convertWithoutDestinationStopsTheRun()
{
    const std::string src = vt::fresh_dir("ui-nodst-src");
    vt::write_file(src + "/a.tga", "x");
    CMainFrame frame(zt::temp_path("absent.INI"));
    CVelmoraView::SetFolderPicker([&](QWidget*, const QString& title, const QString&) {
        return title == QStringLiteral("フォルダの選択") ? QString::fromStdString(src) : QString();
    });
    click(&frame, 1320);
    CVelmoraView::SetFolderPicker(nullptr);
    auto* list = vmui::find_control_as<QTreeWidget>(&frame, 1340);
    QCOMPARE(list->topLevelItemCount(), 1);
    list->topLevelItem(0)->setSelected(true);
    vt::MessageRecorder boxes;
    click(&frame, 1325);
    QCOMPARE(boxes.texts, (std::vector<std::string>{"保存先が指定されていません。\n変換処理を実行できませんでした。"}));
    QVERIFY(!frame.GetView()->m_bConverted);
    QVERIFY(!QApplication::overrideCursor());           // the wait cursor is gone again
}

void WindowTest::unreadableEntriesAreLeftOutAndNamedOnce()
{
    const std::string src = vt::fresh_dir("ui-unreadable-src");
    vt::write_file(src + "/a.tga", "x");
    vt::write_file(src + "/c.tga", "x");
    vt::write_file(src + "/e.jpg", "x");
    std::filesystem::create_symlink(src + "/gone", src + "/b.tga");
    std::filesystem::create_symlink(src + "/d.bmp", src + "/d.bmp");  // a loop
    const QString ini = ini_with(QStringLiteral("unreadable.INI"),
                                 QStringLiteral("[GENERAL]\nPATHFLG=1\nSRCPATH=%1\nDSTPATH=%1\n").arg(QString::fromStdString(src)));
    vt::MessageRecorder boxes;
    CMainFrame frame(ini.toStdString());
    auto* list = vmui::find_control_as<QTreeWidget>(&frame, 1340);
    QCOMPARE(list->topLevelItemCount(), 3);
    QCOMPARE(list->topLevelItem(1)->text(0), QStringLiteral("c.tga"));  // listed after the bad b.tga
    QCOMPARE(list->topLevelItem(2)->text(0), QStringLiteral("e.jpg"));
    QCOMPARE(boxes.texts, (std::vector<std::string>{"ファイルのオープンに失敗しました。\nb.tga\nd.bmp"}));
    // The destination list (here the same folder) skips them alike.
    boxes.texts.clear();
    frame.GetView()->RefreshDestList();
    QCOMPARE(vmui::find_control_as<QTreeWidget>(&frame, 1341)->topLevelItemCount(), 3);
    QCOMPARE(boxes.texts.size(), size_t{1});
}

void WindowTest::customSizeThatIsNoPictureSizeIsSaidOnce()
{
    const std::string src = vt::fresh_dir("ui-size0-src");
    const std::string dst = vt::fresh_dir("ui-size0-dst");
    CKrFrameBuffer pic(16, 16, 1);
    for (const char* name : {"a.tga", "b.tga"}) {
        CImgFile f;
        QCOMPARE(f.SaveImage(&pic, CString(src + "/" + name)), 0);
    }
    const QString ini = ini_with(QStringLiteral("size0.INI"),
                                 QStringLiteral("[GENERAL]\nPATHFLG=1\nSRCPATH=%1\nDSTPATH=%2\n")
                                     .arg(QString::fromStdString(src), QString::fromStdString(dst)));
    CMainFrame frame(ini.toStdString());
    frame.GetDocument()->CurrentSettings.nWidth = 0;
    frame.GetDocument()->CurrentSettings.nHeight = 486;
    vmui::find_control_as<QRadioButton>(&frame, 1331)->setChecked(true);
    auto* list = vmui::find_control_as<QTreeWidget>(&frame, 1340);
    list->topLevelItem(0)->setSelected(true);
    list->topLevelItem(1)->setSelected(true);
    vt::MessageRecorder boxes;
    click(&frame, 1325);
    QCOMPARE(boxes.texts.size(), size_t{1});
    QVERIFY2(boxes.texts[0].rfind("出力サイズが正しくありません（幅 0、高さ 486）。", 0) == 0, boxes.texts[0].c_str());
    QVERIFY(std::filesystem::is_empty(dst));
    QVERIFY(!QApplication::overrideCursor());
}

void WindowTest::standardDialogsSpeakJapanese()
{
    // The folder browser and the other standard dialogs take their texts from the toolkit.
    QVERIFY(vmui::install_toolkit_translations());
    QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("キャンセル"));
    QVERIFY(QCoreApplication::translate("QFileDialog", "Look in:") != QStringLiteral("Look in:"));
}

void WindowTest::customCancelRestoresTheLastConfirmedChoice()
{
    CMainFrame frame(zt::temp_path("absent.INI"));
    vt::MessageRecorder boxes;
    click(&frame, 1322);  // "拡大" confirmed
    auto* custom = vmui::find_control_as<QRadioButton>(&frame, 1331);
    const vm::tagCONVSETTING before = frame.GetDocument()->CurrentSettings;
    when_modal<CCustomSettingDlg>([](CCustomSettingDlg* dlg) {
        dlg->findChild<QLineEdit*>(QStringLiteral("ctl1008"))->setText(QStringLiteral("333"));
        click(dlg, 2);
    });
    custom->click();
    QVERIFY(!custom->isChecked());
    auto* widen = vmui::find_control_as<QRadioButton>(&frame, 1322);
    QVERIFY(widen->isChecked());
    QCOMPARE(frame.GetView()->m_nLastAspectId, 1322);
    QVERIFY(frame.GetDocument()->CurrentSettings == before);
    QVERIFY(vmui::find_control(&frame, 1363)->isHidden());
}

void WindowTest::customOkSetsTheValuesAndTheSizeLabel()
{
    CMainFrame frame(zt::temp_path("absent.INI"));
    when_modal<CCustomSettingDlg>([](CCustomSettingDlg* dlg) {
        const std::pair<int, const char*> texts[] = {{1008, "720"},   {1007, "486"},  {1019, "240"},
                                                     {1021, "0x"},    {1023, "1440"}, {1025, "1080 lines"}};
        for (const auto& [id, text] : texts) vmui::find_control_as<QLineEdit>(dlg, id)->setText(QString::fromUtf8(text));
        click(dlg, 1029);  // two passes
        click(dlg, 1032);  // "セルフ"
        click(dlg, 1);
    });
    click(&frame, 1331);
    QVERIFY(frame.GetDocument()->CurrentSettings == (vm::tagCONVSETTING{720, 486, 240, 0, 1440, 1080, 2, 1}));
    auto* label = vmui::find_control_as<QLabel>(&frame, 1363);
    QVERIFY(!label->isHidden());
    QCOMPARE(label->text(), QStringLiteral(" 幅 ：720\n高さ：486"));
    QCOMPARE(frame.GetView()->m_nLastAspectId, 1331);
}

void WindowTest::customOpensOnTheSelectedPresetAndReloadsPresets()
{
    const QString ini = ini_with(QStringLiteral("presets.INI"),
                                 QStringLiteral("[GENERAL]\nCUSTOM=1\nFILTER2=3\nKEY2=1\nW2=800\nH2=600\n"
                                                "CUTX2=240\nCUTY2=10\nCUTW2=1440\nCUTH2=1060\nFILTER1=1\nW1=99999\n"));
    CVelmoraDoc doc;
    doc.ReadSettings(ini.toStdString());
    CCustomSettingDlg dlg;
    dlg.m_Preset1 = doc.Preset1;
    dlg.m_Preset2 = doc.Preset2;
    dlg.m_nCustom = doc.m_nCustom;
    dlg.OnInitDialog();
    auto text = [&](int id) { return vmui::find_control_as<QLineEdit>(&dlg, id)->text(); };
    auto checked = [&](int id) { return vmui::find_control_as<QRadioButton>(&dlg, id)->isChecked(); };
    QCOMPARE(QStringList({text(1008), text(1007), text(1019), text(1021), text(1023), text(1025)}),
             QStringList({"800", "600", "240", "10", "1440", "1060"}));
    QVERIFY(checked(1030) && checked(1032));
    vmui::find_control_as<QLineEdit>(&dlg, 1008)->setText(QStringLiteral("5"));
    click(&dlg, 1034);  // "デフォルト": Preset 1, its width held to the field's range
    QCOMPARE(QStringList({text(1008), text(1007), text(1019), text(1023)}), QStringList({"1920", "480", "0", "0"}));
    QVERIFY(checked(1028) && checked(1031));
    QVERIFY(!checked(1030) && !checked(1032));
    click(&dlg, 1033);
    QCOMPARE(text(1008), QStringLiteral("800"));
    // Neither button changes the presets themselves.
    QVERIFY(dlg.m_Preset1 == doc.Preset1 && dlg.m_Preset2 == doc.Preset2);
    // The arrows step the number in the edit within the range.
    vmui::find_control_as<QLineEdit>(&dlg, 1007)->setText(QStringLiteral("1080"));
    auto* spin = vmui::find_control_as<vmui::SpinButton>(&dlg, 1010);
    QVERIFY(spin);
    spin->step(1);
    QCOMPARE(text(1007), QStringLiteral("1080"));
    spin->step(-1);
    QCOMPARE(text(1007), QStringLiteral("1079"));
}

void WindowTest::offAfterCustomClearsPresetPassesAndKeys()
{
    const QString ini = ini_with(QStringLiteral("off.INI"), QStringLiteral("[GENERAL]\nFILTER1=2\nKEY1=1\nFILTER2=3\nKEY2=1\n"));
    CMainFrame frame(ini.toStdString());
    when_modal<CCustomSettingDlg>([](CCustomSettingDlg* dlg) { click(dlg, 1); });
    click(&frame, 1331);
    QCOMPARE(frame.GetDocument()->CurrentSettings.nFilter, 2);
    click(&frame, 1324);
    QCOMPARE(frame.GetDocument()->CurrentSettings.nFilter, 0);
    QVERIFY(vmui::find_control(&frame, 1363)->isHidden());
    bool filter0 = false, linear = false;
    when_modal<CCustomSettingDlg>([&](CCustomSettingDlg* dlg) {
        filter0 = vmui::find_control_as<QRadioButton>(dlg, 1027)->isChecked();
        linear = vmui::find_control_as<QRadioButton>(dlg, 1031)->isChecked();
        click(dlg, 2);
    });
    click(&frame, 1331);
    QVERIFY(filter0);
    QVERIFY(linear);
    QVERIFY(vmui::find_control_as<QRadioButton>(&frame, 1324)->isChecked());
}

void WindowTest::newFolderJoinsBaseAndNameWithOneSeparator()
{
    const std::string base = vt::fresh_dir("ui-newfolder");
    for (const QString& b : {QString::fromStdString(base), QString::fromStdString(base) + "/"}) {
        CMainFrame frame(zt::temp_path("absent.INI"));
        frame.GetDocument()->m_strDstBasePath = CString(b.toStdString());
        const QString name = b.endsWith('/') ? QStringLiteral("with") : QStringLiteral("without");
        when_modal<CMakeFolderDlg>([&](CMakeFolderDlg* dlg) {
            dlg->m_editName->setText(name);
            click(dlg, 1004);
        });
        click(&frame, 1327);
        const QString expected = QString::fromStdString(base) + "/" + name;
        QVERIFY(QFileInfo(expected).isDir());
        QCOMPARE(QString::fromStdString(frame.GetDocument()->m_strNewFolderPath.str()), expected);
        QCOMPARE(QString::fromStdString(frame.GetDocument()->m_strDstPath.str()), expected);
        QCOMPARE(vmui::find_control_as<QLineEdit>(&frame, 1301)->text(), expected);
        QCOMPARE(QString::fromStdString(frame.GetDocument()->m_strDstBasePath.str()), b);  // unchanged
    }
    QCOMPARE(CMakeFolderDlg::JoinFolder(QString(), QStringLiteral("n")), QStringLiteral("n"));
}

void WindowTest::newFolderReportsAFolderThatExists()
{
    const std::string base = vt::fresh_dir("ui-newfolder-exists");
    std::filesystem::create_directory(base + "/taken");
    CVelmoraDoc doc;
    doc.m_strDstBasePath = CString(base);
    doc.m_strDstPath = CString("before");
    CMakeFolderDlg dlg(&doc);
    dlg.m_editName->setText(QStringLiteral("taken"));
    vt::MessageRecorder boxes;
    dlg.OnOK();
    QCOMPARE(boxes.texts, (std::vector<std::string>{
                              "フォルダの作成に失敗しました。\n既に同じ名前のフォルダが存在しないか確認して下さい。"}));
    QCOMPARE(dlg.result(), 0);
    QCOMPARE(QString::fromStdString(doc.m_strDstPath.str()), QStringLiteral("before"));
}

void WindowTest::newFolderIgnoresEnterAndEmptyNames()
{
    const std::string base = vt::fresh_dir("ui-newfolder-enter");
    CVelmoraDoc doc;
    doc.m_strDstBasePath = CString(base);
    CMakeFolderDlg dlg(&doc);
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    dlg.m_editName->setText(QStringLiteral("typed"));
    dlg.m_editName->setFocus();
    QTest::keyClick(dlg.m_editName, Qt::Key_Return);
    QVERIFY(dlg.isVisible());
    QVERIFY(!QFileInfo::exists(QString::fromStdString(base + "/typed")));
    dlg.m_editName->clear();
    click(&dlg, 1004);
    QVERIFY(dlg.isVisible());
    QCOMPARE(std::distance(std::filesystem::directory_iterator(base), std::filesystem::directory_iterator()), 0);
}

void WindowTest::versionDialogShowsNameVersionAndNotice()
{
    CVersionDlg dlg;
    QCOMPARE(dlg.windowTitle(), QStringLiteral("ﾊﾞｰｼﾞｮﾝ情報(Velmora)"));
    dlg.OnInitDialog();
    QCOMPARE(vmui::find_control_as<QLabel>(&dlg, 1011)->text(), QStringLiteral("Velmora Version 4, 6, 12, 8"));
    QVERIFY(vmui::find_control_as<QLabel>(&dlg, 1012)->text().startsWith(QStringLiteral("Copyright")));
}

void WindowTest::closeAnsweredNoKeepsTheWindow()
{
    CMainFrame frame(zt::temp_path("absent.INI"));
    frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frame));
    {
        vt::MessageRecorder boxes(vm::IDNO);
        QVERIFY(!frame.close());
        QVERIFY(frame.isVisible());
        QCOMPARE(boxes.texts, (std::vector<std::string>{"終了してもよろしいですか？"}));
        QCOMPARE(boxes.styles.front(), vm::MB_YESNO | vm::MB_DEFBUTTON2);
    }
    {
        vt::MessageRecorder boxes;  // the default button: No
        QVERIFY(!frame.close());
    }
    vt::MessageRecorder boxes(vm::IDYES);
    QVERIFY(frame.close());
    QVERIFY(!frame.isVisible());
}

void WindowTest::exitButtonAsksBeforeClosing()
{
    CMainFrame frame(zt::temp_path("absent.INI"));
    frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frame));
    vt::MessageRecorder boxes(vm::IDYES);
    click(&frame, 1326);
    QVERIFY(boxes.texts.empty());  // posted: the click returns first
    QTRY_VERIFY(!frame.isVisible());
    QCOMPARE(boxes.texts.size(), size_t{1});
}

void WindowTest::secondStartActivatesTheFirst()
{
    const QString name = QStringLiteral("velmora-test-%1").arg(QCoreApplication::applicationPid());
    vmui::SingleInstance first(name);
    vmui::SingleInstance second(name);
    QVERIFY(!second.NotifyRunningInstance(200));  // nobody there yet
    QVERIFY(first.Listen());
    QSignalSpy spy(&first, &vmui::SingleInstance::activationRequested);
    QVERIFY(second.NotifyRunningInstance());
    QTRY_COMPARE(spy.count(), 1);

    CMainFrame frame(zt::temp_path("absent.INI"));
    frame.showMinimized();
    QObject::connect(&first, &vmui::SingleInstance::activationRequested, &frame, &CMainFrame::ActivateFromAnotherInstance);
    QVERIFY(second.NotifyRunningInstance());
    QTRY_VERIFY(!frame.isMinimized());
    QVERIFY(frame.isVisible());
}

QTEST_MAIN(WindowTest)
#include "window_test.moc"
