// The custom-settings dialog, laid out in dialog units of its 9-point font.
#include "custom_setting_dlg.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include "core/ini_profile.h"
#include "spin_button.h"
#include "ui_support.h"

namespace {

int leading_int(const QString& text)
{
    return vm::IniProfile::ParseInt(text.toStdString());
}

} // namespace

CCustomSettingDlg::CCustomSettingDlg(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("カスタム設定"));
    setFont(vmui::point_font(vmui::kPGothic, 9));
    const vmui::DialogUnits du(font());
    setFixedSize(du.size(203, 250));
    setProperty("dialogId", static_cast<int>(IDD));

    auto group = [&](int x, int y, int w, int h, const char* text) {
        auto* g = new QGroupBox(QString::fromUtf8(text), this);
        g->setGeometry(du.rect(x, y, w, h));
        return g;
    };
    // A titled box of two labelled number fields, each with its arrows: the three boxes share
    // one layout, offset by the box's corner.
    struct NumberField {
        const char* text;
        int edit_id;
        int spin_id;
        QLineEdit*& edit;
        vmui::SpinButton*& spin;
    };
    auto field_pair = [&](int x, int y, const char* title, const NumberField& first, const NumberField& second) {
        group(x, y, 95, 68, title);
        const struct {
            const NumberField& field;
            int dy;        // of the field and its arrows
            int label_dy;  // the first label sits two units below its field
            int label_h;
        } rows[2] = {{first, 18, 20, 9}, {second, 43, 43, 10}};
        for (const auto& row : rows) {
            auto* l = new QLabel(QString::fromUtf8(row.field.text), this);
            l->setGeometry(du.rect(x + 4, y + row.label_dy, 15, row.label_h));
            row.field.edit = new QLineEdit(QStringLiteral("0"), this);
            row.field.edit->setGeometry(du.rect(x + 24, y + row.dy, 55, 12));
            vmui::set_control_id(row.field.edit, row.field.edit_id);
            row.field.spin = new vmui::SpinButton(row.field.edit, this);
            row.field.spin->setGeometry(du.rect(x + 78, y + row.dy, 10, 10));
            vmui::set_control_id(row.field.spin, row.field.spin_id);
        }
    };

    field_pair(5, 5, "変換元の切出し位置", {"Ｘ:", 1019, 1020, m_editCutX, m_spinCutX},
               {"Ｙ:", 1021, 1022, m_editCutY, m_spinCutY});
    field_pair(5, 75, "変換元の切り出しサイズ", {"幅:", 1023, 1024, m_editCutW, m_spinCutW},
               {"高さ:", 1025, 1026, m_editCutH, m_spinCutH});
    field_pair(105, 5, "変換後のサイズ", {"幅:", 1008, 1011, m_editWidth, m_spinWidth},
               {"高さ:", 1007, 1010, m_editHeight, m_spinHeight});

    group(5, 145, 95, 35, "フィルター");
    m_filterGroup = new QButtonGroup(this);
    const int filter_x[4] = {10, 34, 58, 80};
    for (int n = 0; n < 4; ++n) {
        auto* r = new QRadioButton(QString::number(n), this);
        r->setGeometry(du.rect(filter_x[n], 160, 15, 15));
        vmui::set_control_id(r, 1027 + n);
        m_filterGroup->addButton(r, n);
    }
    group(5, 185, 95, 35, "キー合成");
    m_keyGroup = new QButtonGroup(this);
    const char* key_text[2] = {"リニア", "セルフ"};
    const int key_x[2] = {10, 55};
    for (int n = 0; n < 2; ++n) {
        auto* r = new QRadioButton(QString::fromUtf8(key_text[n]), this);
        r->setGeometry(du.rect(key_x[n], 200, 30, 15));
        vmui::set_control_id(r, 1031 + n);
        m_keyGroup->addButton(r, n);
    }

    auto button = [&](int id, int x, int y, int w, int h, const char* text) {
        auto* b = new QPushButton(QString::fromUtf8(text), this);
        b->setGeometry(du.rect(x, y, w, h));
        b->setAutoDefault(false);
        vmui::set_control_id(b, id);
        return b;
    };
    QPushButton* side_cut = button(1033, 10, 230, 40, 14, "サイドカット");
    QPushButton* defaults = button(1034, 55, 230, 40, 14, "デフォルト");
    QPushButton* ok = button(1, 110, 230, 40, 14, "OK");
    QPushButton* cancel = button(2, 155, 230, 40, 14, "ｷｬﾝｾﾙ");
    ok->setDefault(true);

    connect(side_cut, &QPushButton::clicked, this, [this] { LoadPreset(m_Preset2); });
    connect(defaults, &QPushButton::clicked, this, [this] { LoadPreset(m_Preset1); });
    connect(ok, &QPushButton::clicked, this, &CCustomSettingDlg::accept);
    connect(cancel, &QPushButton::clicked, this, &CCustomSettingDlg::reject);
    connect(m_filterGroup, &QButtonGroup::idClicked, this, [this](int n) {
        m_nFilter = n;
        check_choices();
    });
    connect(m_keyGroup, &QButtonGroup::idClicked, this, [this](int n) {
        m_nKey = n;
        check_choices();
    });
}

void CCustomSettingDlg::OnInitDialog()
{
    for (vmui::SpinButton* spin : {m_spinWidth, m_spinCutX, m_spinCutW}) spin->SetRange(0, vm::kMaxCustomWidth);
    for (vmui::SpinButton* spin : {m_spinHeight, m_spinCutY, m_spinCutH}) spin->SetRange(0, vm::kMaxCustomHeight);
    LoadPreset(m_nCustom == 1 ? m_Preset2 : m_Preset1);
}

int CCustomSettingDlg::DoModal()
{
    OnInitDialog();
    return exec();
}

void CCustomSettingDlg::LoadPreset(const vm::tagCONVSETTING& preset)
{
    // The file may hold any number; the fields and radios show what they can offer, so the
    // dialog shows (and OK confirms) what the conversion will do.
    const vm::tagCONVSETTING shown = vm::preset_as_offered(preset);
    m_spinWidth->SetPos(shown.nWidth);
    m_spinHeight->SetPos(shown.nHeight);
    m_spinCutX->SetPos(shown.nCutX);
    m_spinCutY->SetPos(shown.nCutY);
    m_spinCutW->SetPos(shown.nCutW);
    m_spinCutH->SetPos(shown.nCutH);
    m_nFilter = shown.nFilter;
    m_nKey = shown.nKey;
    check_choices();
}

void CCustomSettingDlg::check_choices()
{
    m_filterGroup->button(m_nFilter)->setChecked(true);
    m_keyGroup->button(m_nKey)->setChecked(true);
}

void CCustomSettingDlg::take_edit_texts()
{
    m_strWidth = m_editWidth->text();
    m_strHeight = m_editHeight->text();
    m_strCutX = m_editCutX->text();
    m_strCutY = m_editCutY->text();
    m_strCutW = m_editCutW->text();
    m_strCutH = m_editCutH->text();
}

void CCustomSettingDlg::accept()
{
    take_edit_texts();
    QDialog::accept();
}

int CCustomSettingDlg::GetOutWidth() const { return leading_int(m_strWidth); }
int CCustomSettingDlg::GetOutHeight() const { return leading_int(m_strHeight); }
int CCustomSettingDlg::GetCutX() const { return leading_int(m_strCutX); }
int CCustomSettingDlg::GetCutY() const { return leading_int(m_strCutY); }
int CCustomSettingDlg::GetCutW() const { return leading_int(m_strCutW); }
int CCustomSettingDlg::GetCutH() const { return leading_int(m_strCutH); }

vm::tagCONVSETTING CCustomSettingDlg::GetSettings() const
{
    vm::tagCONVSETTING s;
    s.nWidth = GetOutWidth();
    s.nHeight = GetOutHeight();
    s.nCutX = GetCutX();
    s.nCutY = GetCutY();
    s.nCutW = GetCutW();
    s.nCutH = GetCutH();
    s.nFilter = m_nFilter;
    s.nKey = m_nKey;
    return s;
}
