// CVersionDlg: "ﾊﾞｰｼﾞｮﾝ情報(Velmora)", the program's name, version and legal notice.
#pragma once

#include <QDialog>

class QLabel;

class CVersionDlg : public QDialog {
    Q_OBJECT
public:
    enum { IDD = 100 };

    explicit CVersionDlg(QWidget* parent = nullptr);
    // Fills texts 1011 ("<internal name> Version <product version>") and 1012 (the legal
    // notice) from the version block; when it cannot be read the designed texts stay.
    void OnInitDialog();
    int DoModal();

    QLabel* m_textVersion;
    QLabel* m_textCopyright;
};
