// CVelmoraView: the converter's working form. A source-folder list, a destination-folder
// list, the output format and aspect choices, and the button that converts every selected
// source file into the destination folder through the document.
//
// Every control sits at a fixed pixel position with its control id (property "controlId").
// The edits 1300 and 1301 show the two folders; their texts are what conversions use. A
// listing lets the window handle pending events after each file, so the user can work
// while a large folder is read; a conversion run does not.
#pragma once

#include <QFont>
#include <QString>
#include <QWidget>
#include <functional>
#include <string>
#include <vector>

#include "core/folder_listing.h"

class CVelmoraDoc;
class QButtonGroup;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTreeWidget;

class CVelmoraView : public QWidget {
    Q_OBJECT
public:
    enum { IDD = 101 };
    enum ControlId {
        IDC_EDIT_SRC = 1300,
        IDC_EDIT_DST = 1301,
        IDC_BTN_SRC = 1320,
        IDC_BTN_DST = 1321,
        IDC_RADIO_WIDEN = 1322,
        IDC_RADIO_NARROW = 1323,
        IDC_RADIO_OFF = 1324,
        IDC_BTN_CONVERT = 1325,
        IDC_BTN_EXIT = 1326,
        IDC_BTN_NEWFOLDER = 1327,
        IDC_BTN_SAMEFOLDER = 1328,
        IDC_RADIO_TGA = 1330,
        IDC_RADIO_CUSTOM = 1331,
        IDC_RADIO_JPG = 1334,
        IDC_RADIO_BMP = 1338,
        IDC_LIST_SRC = 1340,
        IDC_LIST_DST = 1341,
        IDC_RADIO_PICT = 1342,
        IDC_RADIO_TGA_RAW = 1346,
        IDC_LABEL_ASPECT = 1360,
        IDC_LABEL_FORMAT = 1362,
        IDC_LABEL_SIZE = 1363,
    };

    explicit CVelmoraView(CVelmoraDoc* doc, QWidget* parent = nullptr);
    ~CVelmoraView() override;

    CVelmoraDoc* GetDocument() const { return m_pDoc; }

    // First showing: columns, default choices, title, settings from ini_path, and the start-up
    // folders when the settings ask for them.
    void OnInitialUpdate(const std::string& ini_path);

    // How a folder is chosen (title, current folder) -> chosen folder or "" when cancelled.
    // The window asks the system's folder browser; tests answer for the user.
    using FolderPicker = std::function<QString(QWidget* parent, const QString& title, const QString& current)>;
    static FolderPicker SetFolderPicker(FolderPicker picker);

    // Command handlers, by the control that sends them.
    void OnBrowseSource();    // 1320
    void OnBrowseDest();      // 1321
    void OnConvert();         // 1325
    void OnExit();            // 1326
    void OnNewFolder();       // 1327
    void OnSameFolder();      // 1328
    void OnCustom();          // 1331
    void OnAspect(int id);    // 1322 to 1324

    void RefreshSourceList();
    void RefreshDestList();

    // Data exchange with the two folder edits: true takes the edit texts into the members,
    // false pushes the members into the edits.
    void UpdateData(bool save);

    QString m_strSrcEdit;
    QString m_strDstEdit;
    int m_nSrcCount = 0;
    int m_nDstCount = 0;
    bool m_bConverted = false;
    int m_nLastAspectId = IDC_RADIO_OFF;

signals:
    // "終  了": the main window asks the user and closes.
    void closeRequested();

private:
    QPushButton* make_button(int id, int x, int y, int w, int h, const QString& text);
    QRadioButton* make_radio(int id, int x, int y, int w, int h, const QString& text);
    QLabel* make_label(int id, int x, int y, int w, int h, const QString& text);
    QTreeWidget* make_list(int id, int x, int y, int w, int h);
    // Lists one folder for one extension, adding what could not be opened to unreadable.
    void list_into(QTreeWidget* list, int* count, const QString& folder, const char* ext,
                   std::vector<vm::UnreadableEntry>* unreadable);
    // Empties list and lists every picture type of folder into it.
    void list_all(QTreeWidget* list, int* count, const QString& folder);
    // Lists every picture type of the source folder in the edit field afresh.
    void list_sources();
    int aspect_choice() const;
    int output_format() const;

    CVelmoraDoc* m_pDoc;
    // "ＭＳ ゴシック" at 9 points (12 pixels) for the lists and the bottom row: the size at which
    // "TGA(圧)" fits its 60-pixel radio button and a file size its 50-pixel column (the
    // 14-pixel cell the form once named cuts both).
    QFont m_font;
    QLineEdit* m_editSrc;
    QLineEdit* m_editDst;
    QTreeWidget* m_listSrc;
    QTreeWidget* m_listDst;
    QButtonGroup* m_formatGroup;
    QButtonGroup* m_aspectGroup;
    QLabel* m_labelSize;
};
