// CMakeFolderDlg: the "フォルダ作成" dialog. It makes one new folder under the document's
// destination base folder and makes it the destination folder.
//
// Enter does not close it (its only default button is hidden and disabled); "OK" with an
// empty name does nothing; a folder that cannot be made shows a message and the dialog stays.
#pragma once

#include <QDialog>

class CVelmoraDoc;
class QLineEdit;

class CMakeFolderDlg : public QDialog {
    Q_OBJECT
public:
    enum { IDD = 130 };

    explicit CMakeFolderDlg(CVelmoraDoc* doc, QWidget* parent = nullptr);
    int DoModal() { return exec(); }

    // The path a name makes under base: one separator between them, whether or not base
    // already ends in one. An empty base makes the name relative to the current folder.
    static QString JoinFolder(const QString& base, const QString& name);

    // What "OK" (1004) does.
    void OnOK();

    QLineEdit* m_editName;

private:
    CVelmoraDoc* m_pDoc;
};
