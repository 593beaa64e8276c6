// CCustomSettingDlg: the "カスタム設定" dialog. It sets the custom output size, the cut area
// in the source, the smoothing passes and the key mode, offering the two presets of
// Velmora.INI as starting points ("デフォルト" Preset 1, "サイドカット" Preset 2).
//
// The caller fills the preset copies and the selector, runs DoModal and on OK reads the
// values. The number fields are free text: OK converts each with the C library's rule
// (leading decimal number, otherwise 0); the arrows keep to the field's range.
#pragma once

#include <QDialog>
#include <QString>

#include "core/velmora_settings.h"

class QButtonGroup;
class QLineEdit;

namespace vmui {
class SpinButton;
}

class CCustomSettingDlg : public QDialog {
    Q_OBJECT
public:
    enum { IDD = 133 };

    explicit CCustomSettingDlg(QWidget* parent = nullptr);

    // Sets the ranges and loads the preset the selector names. DoModal calls it first.
    void OnInitDialog();
    int DoModal();

    // Puts a preset into the fields and radio buttons; the presets themselves stay as they are.
    void LoadPreset(const vm::tagCONVSETTING& preset);

    // The values on OK.
    int GetOutWidth() const;
    int GetOutHeight() const;
    int GetCutX() const;
    int GetCutY() const;
    int GetCutW() const;
    int GetCutH() const;
    vm::tagCONVSETTING GetSettings() const;

    vm::tagCONVSETTING m_Preset1;
    vm::tagCONVSETTING m_Preset2;
    int m_nCustom = 0;
    int m_nFilter = 0;  // 0 to 3
    int m_nKey = 0;     // 0 "リニア", 1 "セルフ"

    // The edit texts as last taken from the fields (OK takes them).
    QString m_strWidth = QStringLiteral("0");
    QString m_strHeight = QStringLiteral("0");
    QString m_strCutX = QStringLiteral("0");
    QString m_strCutY = QStringLiteral("0");
    QString m_strCutW = QStringLiteral("0");
    QString m_strCutH = QStringLiteral("0");

public slots:
    void accept() override;

private:
    void check_choices();
    void take_edit_texts();

    QLineEdit* m_editWidth;
    QLineEdit* m_editHeight;
    QLineEdit* m_editCutX;
    QLineEdit* m_editCutY;
    QLineEdit* m_editCutW;
    QLineEdit* m_editCutH;
    vmui::SpinButton* m_spinWidth;
    vmui::SpinButton* m_spinHeight;
    vmui::SpinButton* m_spinCutX;
    vmui::SpinButton* m_spinCutY;
    vmui::SpinButton* m_spinCutW;
    vmui::SpinButton* m_spinCutH;
    QButtonGroup* m_filterGroup;
    QButtonGroup* m_keyGroup;
};
