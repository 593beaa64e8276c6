// The conversion form: its controls, the folder lists and the conversion run.
#include "velmora_view.h"

#include <QApplication>
#include <QButtonGroup>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QTreeWidget>
#include <utility>

#include "core/convert_pipeline.h"
#include "core/folder_listing.h"
#include "core/message_box.h"
#include "core/velmora_doc.h"
#include "custom_setting_dlg.h"
#include "make_folder_dlg.h"
#include "ui_support.h"

namespace {

CVelmoraView::FolderPicker& picker_slot()
{
    static CVelmoraView::FolderPicker picker = [](QWidget* parent, const QString& title, const QString& current) {
        return QFileDialog::getExistingDirectory(parent, title, current, QFileDialog::ShowDirsOnly);
    };
    return picker;
}

// The wait cursor for as long as a conversion runs, whichever way the run ends.
struct WaitCursor {
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

CString to_cstring(const QString& s)
{
    return CString(s.toStdString());
}

QString to_qstring(const CString& s)
{
    return QString::fromStdString(s.str());
}

} // namespace

CVelmoraView::FolderPicker CVelmoraView::SetFolderPicker(FolderPicker picker)
{
    return std::exchange(picker_slot(), std::move(picker));
}

CVelmoraView::CVelmoraView(CVelmoraDoc* doc, QWidget* parent)
    : QWidget(parent), m_pDoc(doc), m_font(vmui::point_font(vmui::kGothic, 9))
{
    setProperty("dialogId", static_cast<int>(IDD));
    setFixedSize(1016, 710);
    // The radio buttons were sized for a small check mark close to its text.
    setStyleSheet(QStringLiteral("QRadioButton { spacing: 2px; }"));

    m_editSrc = new QLineEdit(this);
    m_editSrc->setGeometry(5, 12, 400, 25);
    m_editSrc->setReadOnly(true);
    vmui::set_control_id(m_editSrc, IDC_EDIT_SRC);
    QPushButton* browse_src = make_button(IDC_BTN_SRC, 410, 12, 80, 25, QStringLiteral("参  照"));
    m_editDst = new QLineEdit(this);
    m_editDst->setGeometry(520, 12, 325, 25);
    m_editDst->setReadOnly(true);
    vmui::set_control_id(m_editDst, IDC_EDIT_DST);
    QPushButton* same = make_button(IDC_BTN_SAMEFOLDER, 850, 12, 65, 25, QStringLiteral("上 書"));
    QPushButton* browse_dst = make_button(IDC_BTN_DST, 915, 12, 65, 25, QStringLiteral("参 照"));
    QPushButton* new_folder = make_button(IDC_BTN_NEWFOLDER, 981, 12, 25, 25, QString());
    new_folder->setIcon(style()->standardIcon(QStyle::SP_FileDialogNewFolder));

    m_listSrc = make_list(IDC_LIST_SRC, 5, 50, 485, 580);
    m_listSrc->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_listDst = make_list(IDC_LIST_DST, 520, 50, 485, 580);
    m_listDst->setSelectionMode(QAbstractItemView::SingleSelection);

    make_label(IDC_LABEL_FORMAT, 15, 653, 70, 20, QStringLiteral("出力形式"));
    m_formatGroup = new QButtonGroup(this);
    m_formatGroup->addButton(make_radio(IDC_RADIO_TGA, 80, 648, 60, 25, QStringLiteral("TGA(圧)")), IDC_RADIO_TGA);
    m_formatGroup->addButton(make_radio(IDC_RADIO_TGA_RAW, 140, 648, 60, 25, QStringLiteral("TGA(非)")),
                             IDC_RADIO_TGA_RAW);
    m_formatGroup->addButton(make_radio(IDC_RADIO_JPG, 200, 648, 60, 25, QStringLiteral("JPG")), IDC_RADIO_JPG);
    m_formatGroup->addButton(make_radio(IDC_RADIO_BMP, 260, 648, 60, 25, QStringLiteral("BMP")), IDC_RADIO_BMP);
    m_formatGroup->addButton(make_radio(IDC_RADIO_PICT, 320, 648, 60, 25, QStringLiteral("PICT")), IDC_RADIO_PICT);

    make_label(IDC_LABEL_ASPECT, 405, 653, 350, 20, QStringLiteral("ｱｽﾍﾟｸﾄ"));
    m_aspectGroup = new QButtonGroup(this);
    m_aspectGroup->addButton(make_radio(IDC_RADIO_WIDEN, 450, 648, 70, 25, QStringLiteral("拡大")), IDC_RADIO_WIDEN);
    m_aspectGroup->addButton(make_radio(IDC_RADIO_NARROW, 520, 648, 70, 25, QStringLiteral("縮小")), IDC_RADIO_NARROW);
    m_aspectGroup->addButton(make_radio(IDC_RADIO_CUSTOM, 590, 648, 70, 25, QStringLiteral("カスタム")),
                             IDC_RADIO_CUSTOM);
    m_aspectGroup->addButton(make_radio(IDC_RADIO_OFF, 660, 648, 70, 25, QStringLiteral("OFF")), IDC_RADIO_OFF);

    m_labelSize = make_label(IDC_LABEL_SIZE, 740, 645, 100, 40, QStringLiteral("高さ：500\n 幅 ：400"));
    m_labelSize->hide();
    QPushButton* convert = make_button(IDC_BTN_CONVERT, 835, 648, 80, 25, QStringLiteral("実  行"));
    QPushButton* exit = make_button(IDC_BTN_EXIT, 920, 648, 80, 25, QStringLiteral("終  了"));
    for (QWidget* w : {static_cast<QWidget*>(convert), static_cast<QWidget*>(exit)}) w->setFont(m_font);

    connect(browse_src, &QPushButton::clicked, this, &CVelmoraView::OnBrowseSource);
    connect(browse_dst, &QPushButton::clicked, this, &CVelmoraView::OnBrowseDest);
    connect(same, &QPushButton::clicked, this, &CVelmoraView::OnSameFolder);
    connect(new_folder, &QPushButton::clicked, this, &CVelmoraView::OnNewFolder);
    connect(convert, &QPushButton::clicked, this, &CVelmoraView::OnConvert);
    connect(exit, &QPushButton::clicked, this, &CVelmoraView::OnExit);
    connect(m_aspectGroup, &QButtonGroup::idClicked, this, [this](int id) {
        if (id == IDC_RADIO_CUSTOM) {
            OnCustom();
        } else {
            OnAspect(id);
        }
    });
}

CVelmoraView::~CVelmoraView() = default;

QPushButton* CVelmoraView::make_button(int id, int x, int y, int w, int h, const QString& text)
{
    auto* b = new QPushButton(text, this);
    b->setGeometry(x, y, w, h);
    b->setAutoDefault(false);
    vmui::set_control_id(b, id);
    return b;
}

QRadioButton* CVelmoraView::make_radio(int id, int x, int y, int w, int h, const QString& text)
{
    auto* r = new QRadioButton(text, this);
    r->setGeometry(x, y, w, h);
    r->setFont(m_font);
    vmui::set_control_id(r, id);
    return r;
}

QLabel* CVelmoraView::make_label(int id, int x, int y, int w, int h, const QString& text)
{
    auto* l = new QLabel(text, this);
    l->setGeometry(x, y, w, h);
    l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    l->setFont(m_font);
    vmui::set_control_id(l, id);
    return l;
}

QTreeWidget* CVelmoraView::make_list(int id, int x, int y, int w, int h)
{
    auto* list = new QTreeWidget(this);
    list->setGeometry(x, y, w, h);
    // The fixed-pitch face's narrow digits and a one-pixel cell margin let a five-digit
    // "99999 KB" stand whole in the 50-pixel size column.
    list->setFont(m_font);
    list->setStyle(vmui::tight_item_style());
    list->setRootIsDecorated(false);
    list->setUniformRowHeights(true);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setAllColumnsShowFocus(true);
    list->setSortingEnabled(false);
    list->setColumnCount(0);
    vmui::set_control_id(list, id);
    return list;
}

void CVelmoraView::OnInitialUpdate(const std::string& ini_path)
{
    for (QTreeWidget* list : {m_listSrc, m_listDst}) {
        list->setColumnCount(4);
        list->setHeaderLabels({QStringLiteral("ファイル名"), QStringLiteral("サイズ"), QStringLiteral("更新日付"),
                               QStringLiteral("画像サイズ")});
        const int widths[4] = {195, 50, 150, 80};
        for (int c = 0; c < 4; ++c) list->setColumnWidth(c, widths[c]);
        list->headerItem()->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
        list->header()->setStretchLastSection(false);
    }
    m_aspectGroup->button(IDC_RADIO_OFF)->setChecked(true);
    m_formatGroup->button(IDC_RADIO_TGA)->setChecked(true);

    m_pDoc->SetTitle("Velmora");
    m_nSrcCount = m_nDstCount = 0;
    m_bConverted = false;
    m_pDoc->m_strSrcPath.Empty();
    m_pDoc->m_strDstPath.Empty();

    m_pDoc->ReadSettings(ini_path);
    if (m_pDoc->m_nPathFlg == 1) {
        m_pDoc->m_strSrcPath = m_pDoc->m_strIniSrcPath;
        m_pDoc->m_strDstPath = m_pDoc->m_strIniDstPath;
        m_pDoc->m_strDstBasePath = m_pDoc->m_strIniDstPath;
        RefreshSourceList();
    }
    UpdateData(false);
}

void CVelmoraView::UpdateData(bool save)
{
    if (save) {
        m_strSrcEdit = m_editSrc->text();
        m_strDstEdit = m_editDst->text();
    } else {
        m_editSrc->setText(m_strSrcEdit);
        m_editDst->setText(m_strDstEdit);
    }
}

void CVelmoraView::list_into(QTreeWidget* list, int* count, const QString& folder, const char* ext,
                             std::vector<vm::UnreadableEntry>* unreadable)
{
    const vm::SizeProbe probe = [](const std::string& path) { return CVelmoraDoc::GetImageSize(CString(path)); };
    vm::list_folder(folder.toStdString(), ext, probe, [&](const vm::ListRow& row) {
        auto* item = new QTreeWidgetItem(
            QStringList{QString::fromStdString(row.name), QString::fromStdString(row.size_text),
                        QString::fromStdString(row.date_text),
                        QString::fromStdString(vm::image_size_text(row.width, row.height))});
        item->setData(0, Qt::UserRole, *count);
        item->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
        list->addTopLevelItem(item);
        // Let the window breathe between files: every row costs a full decode.
        QCoreApplication::processEvents();
        ++*count;
    }, unreadable);
}

void CVelmoraView::list_all(QTreeWidget* list, int* count, const QString& folder)
{
    list->clear();
    *count = 0;
    // An entry that cannot be opened is left out and the rest is listed; the user learns its
    // name once, after the whole listing.
    std::vector<vm::UnreadableEntry> unreadable;
    for (const char* ext : vm::kListExtensions) list_into(list, count, folder, ext, &unreadable);
    if (unreadable.empty()) return;
    std::string text = "ファイルのオープンに失敗しました。";
    for (const vm::UnreadableEntry& e : unreadable) text += "\n" + e.name;
    vm::message_box(text);
}

void CVelmoraView::list_sources()
{
    list_all(m_listSrc, &m_nSrcCount, m_strSrcEdit);
}

void CVelmoraView::RefreshSourceList()
{
    m_strSrcEdit = to_qstring(m_pDoc->m_strSrcPath);
    list_sources();
    m_strDstEdit = to_qstring(m_pDoc->m_strDstPath);
    m_listDst->clear();
    m_nDstCount = 0;
    UpdateData(false);
}

void CVelmoraView::RefreshDestList()
{
    list_all(m_listDst, &m_nDstCount, m_editDst->text());
    UpdateData(false);
}

void CVelmoraView::OnBrowseSource()
{
    const QString path = picker_slot()(this, QStringLiteral("フォルダの選択"), to_qstring(m_pDoc->m_strSrcPath));
    if (path.isEmpty()) return;
    m_strSrcEdit = path;
    m_pDoc->m_strSrcPath = to_cstring(path);
    list_sources();
    UpdateData(false);
}

void CVelmoraView::OnBrowseDest()
{
    const QString path = picker_slot()(this, QStringLiteral("フォルダの選択"), to_qstring(m_pDoc->m_strDstPath));
    if (path.isEmpty()) return;
    m_strDstEdit = path;
    m_pDoc->m_strDstPath = to_cstring(path);
    m_pDoc->m_strDstBasePath = to_cstring(path);
    UpdateData(false);
    RefreshDestList();
}

void CVelmoraView::OnSameFolder()
{
    UpdateData(true);
    m_strDstEdit = m_strSrcEdit;
    m_pDoc->m_strDstPath = to_cstring(m_strSrcEdit);
    m_pDoc->m_strDstBasePath = to_cstring(m_strSrcEdit);
    UpdateData(false);
    RefreshDestList();
}

void CVelmoraView::OnNewFolder()
{
    CMakeFolderDlg dlg(m_pDoc, this);
    if (dlg.DoModal() != QDialog::Accepted) return;
    m_strDstEdit = to_qstring(m_pDoc->m_strDstPath);
    UpdateData(false);
    RefreshDestList();
}

void CVelmoraView::OnExit()
{
    emit closeRequested();
}

void CVelmoraView::OnAspect(int id)
{
    m_pDoc->ResetCustomExtras();
    m_labelSize->hide();
    m_nLastAspectId = id;
}

void CVelmoraView::OnCustom()
{
    CCustomSettingDlg dlg(this);
    dlg.m_Preset1 = m_pDoc->Preset1;
    dlg.m_Preset2 = m_pDoc->Preset2;
    dlg.m_nCustom = m_pDoc->m_nCustom;
    if (dlg.DoModal() == QDialog::Accepted) {
        m_pDoc->CurrentSettings = dlg.GetSettings();
        m_labelSize->setText(QStringLiteral(" 幅 ：%1\n高さ：%2")
                                 .arg(m_pDoc->CurrentSettings.nWidth)
                                 .arg(m_pDoc->CurrentSettings.nHeight));
        m_labelSize->show();
        m_nLastAspectId = IDC_RADIO_CUSTOM;
        return;
    }
    QAbstractButton* last = m_aspectGroup->button(m_nLastAspectId);
    last->setChecked(true);
    last->setFocus();
}

int CVelmoraView::aspect_choice() const
{
    if (m_aspectGroup->button(IDC_RADIO_WIDEN)->isChecked()) return vm::kAspectWiden;
    if (m_aspectGroup->button(IDC_RADIO_NARROW)->isChecked()) return vm::kAspectNarrow;
    if (m_aspectGroup->button(IDC_RADIO_CUSTOM)->isChecked()) return vm::kAspectCustom;
    return vm::kAspectOff;
}

int CVelmoraView::output_format() const
{
    if (m_formatGroup->button(IDC_RADIO_TGA)->isChecked()) return vm::kFormatTgaRle;
    if (m_formatGroup->button(IDC_RADIO_JPG)->isChecked()) return vm::kFormatJpeg;
    if (m_formatGroup->button(IDC_RADIO_BMP)->isChecked()) return vm::kFormatBmp;
    if (m_formatGroup->button(IDC_RADIO_PICT)->isChecked()) return vm::kFormatPict;
    return vm::kFormatTgaRaw;
}

void CVelmoraView::OnConvert()
{
    const WaitCursor wait;
    UpdateData(true);
    for (int row = 0; row < m_listSrc->topLevelItemCount(); ++row) {
        const QTreeWidgetItem* item = m_listSrc->topLevelItem(row);
        if (!item->isSelected()) continue;
        if (m_strDstEdit.isEmpty()) {
            vm::message_box("保存先が指定されていません。\n変換処理を実行できませんでした。");
            return;
        }
        const int aspect = aspect_choice();
        // A custom size that is no picture size would fail every file alike: say so once.
        if (const std::string problem = CVelmoraDoc::OutputSizeProblem(aspect, m_pDoc->CurrentSettings);
            !problem.empty()) {
            vm::message_box(problem);
            return;
        }
        m_bConverted = true;
        const int format = output_format();
        const QString name = item->text(0);
        const std::string src = vm::join_path(m_strSrcEdit.toStdString(), name.toStdString());
        const std::string dst = vm::destination_path(m_strDstEdit.toStdString(), name.toStdString(), format);
        m_pDoc->ConvertFile(CString(src), CString(dst), aspect, format);
    }
    RefreshDestList();
    vm::message_box(m_bConverted ? "変換処理が終了しました。"
                                 : "変換ファイルが選択されていません。\nファイルを選択して下さい。");
    m_bConverted = false;
}
