// CMainFrame: the converter's only window. Fixed size (a 1016 × 710 client area under the
// menu), at the top-left corner of the screen, with no resize and no maximise; it holds the
// document and the form view, and asks before it closes.
#pragma once

#include <QMainWindow>
#include <memory>
#include <string>

class CVelmoraDoc;
class CVelmoraView;

class CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    // Creates the document and the view; the view's first showing reads ini_path.
    explicit CMainFrame(const std::string& ini_path, QWidget* parent = nullptr);
    ~CMainFrame() override;

    CVelmoraDoc* GetDocument() const { return m_pDoc.get(); }
    CVelmoraView* GetView() const { return m_pView; }

    // Window title: document title, then the application title.
    void UpdateFrameTitle();

    // Brings the window back for a second start of the program: restored when minimised,
    // raised and activated.
    void ActivateFromAnotherInstance();

    void OnAppAbout();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    std::unique_ptr<CVelmoraDoc> m_pDoc;
    CVelmoraView* m_pView;
};
