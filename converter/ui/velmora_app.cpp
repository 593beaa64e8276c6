// Start-up and shutdown of the windowed converter.
#include "velmora_app.h"

#include <QDir>
#include <QFileInfo>

#include "core/velmora_settings.h"
#include "main_frame.h"
#include "single_instance.h"
#include "ui_support.h"

CVelmoraApp::CVelmoraApp(int& argc, char** argv) : QApplication(argc, argv)
{
    setApplicationName(QStringLiteral("Velmora"));
    setQuitOnLastWindowClosed(true);
}

CVelmoraApp::~CVelmoraApp() = default;

QString CVelmoraApp::GetExeName() const
{
    const QString path = arguments().isEmpty() ? QStringLiteral("Velmora") : arguments().constFirst();
    return QFileInfo(path).completeBaseName();
}

int CVelmoraApp::InitInstance()
{
    vmui::install_font_substitutions();
    setFont(vmui::point_font(vmui::kPGothic, 9));
    vmui::install_window_message_boxes();
    vmui::install_toolkit_translations();  // without them the standard dialogs stay English

    m_pInstance = std::make_unique<vmui::SingleInstance>(vmui::SingleInstance::NameFor(GetExeName()));
    if (m_pInstance->NotifyRunningInstance()) return 0;
    m_pInstance->Listen();  // without it the program still works, only unguarded

    // The settings file lives where the program was started from, not beside the program.
    m_strProfilePath = (QDir::currentPath() + QLatin1Char('/') + QString::fromLatin1(vm::kProfileFileName)).toStdString();

    setWindowIcon(vmui::velmora_icon());
    m_pMainFrame = std::make_unique<CMainFrame>(m_strProfilePath);
    QObject::connect(m_pInstance.get(), &vmui::SingleInstance::activationRequested, m_pMainFrame.get(),
                     &CMainFrame::ActivateFromAnotherInstance);
    m_pMainFrame->show();
    return 1;
}

int CVelmoraApp::ExitInstance(int exit_code)
{
    m_pMainFrame.reset();
    m_pInstance.reset();
    m_strProfilePath.clear();
    return exit_code;
}
