// CVelmoraApp: the converter's application object. Start-up makes sure only one converter
// runs (a second start brings the first window forward and ends), finds the settings file
// in the current directory, and opens the main window; shutdown releases what start-up took.
#pragma once

#include <QApplication>
#include <memory>
#include <string>

class CMainFrame;

namespace vmui {
class SingleInstance;
}

class CVelmoraApp : public QApplication {
    Q_OBJECT
public:
    CVelmoraApp(int& argc, char** argv);
    ~CVelmoraApp() override;

    // Non-zero to run the event loop; 0 when this process should end at once (another
    // instance is running, or the window could not be made).
    int InitInstance();
    int ExitInstance(int exit_code);

    // The executable's base name ("Velmora"): it names the instance socket.
    QString GetExeName() const;
    // <current directory>/Velmora.INI, fixed at start-up.
    const std::string& GetProfilePath() const { return m_strProfilePath; }
    CMainFrame* GetMainFrame() const { return m_pMainFrame.get(); }

private:
    std::string m_strProfilePath;
    std::unique_ptr<vmui::SingleInstance> m_pInstance;
    std::unique_ptr<CMainFrame> m_pMainFrame;
};
