// The main window: menu, fixed geometry, close confirmation.
#include "main_frame.h"

#include <QCloseEvent>
#include <QMenuBar>

#include "core/message_box.h"
#include "core/velmora_doc.h"
#include "velmora_view.h"
#include "version_dlg.h"

CMainFrame::CMainFrame(const std::string& ini_path, QWidget* parent)
    : QMainWindow(parent), m_pDoc(std::make_unique<CVelmoraDoc>())
{
    // Caption, system menu and minimise box only: the form has a fixed layout.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);

    QMenu* file = menuBar()->addMenu(QStringLiteral("ﾌｧｲﾙ(&F)"));
    QAction* exit = file->addAction(QStringLiteral("ｱﾌﾟﾘｹｰｼｮﾝの終了(&X)"));
    exit->setProperty("commandId", 57665);
    QMenu* help = menuBar()->addMenu(QStringLiteral("ﾍﾙﾌﾟ(&H)"));
    QAction* about = help->addAction(QStringLiteral("ﾊﾞｰｼﾞｮﾝ情報(Velmora) (&A)..."));
    about->setProperty("commandId", 57664);
    connect(exit, &QAction::triggered, this, &CMainFrame::close);
    connect(about, &QAction::triggered, this, &CMainFrame::OnAppAbout);

    m_pView = new CVelmoraView(m_pDoc.get(), this);
    setCentralWidget(m_pView);
    // "終  了" posts the close request, so the button's own click finishes first.
    connect(m_pView, &CVelmoraView::closeRequested, this, &CMainFrame::close, Qt::QueuedConnection);

    m_pView->OnInitialUpdate(ini_path);
    UpdateFrameTitle();

    const int menu_height = menuBar()->sizeHint().height();
    setFixedSize(1016, 710 + menu_height);
    move(0, 0);
}

CMainFrame::~CMainFrame() = default;

void CMainFrame::UpdateFrameTitle()
{
    setWindowTitle(QStringLiteral("%1 - %2").arg(QString::fromStdString(m_pDoc->GetTitle().str()),
                                                 QStringLiteral("Velmora")));
}

void CMainFrame::ActivateFromAnotherInstance()
{
    if (isMinimized()) showNormal();
    show();
    raise();
    activateWindow();
}

void CMainFrame::OnAppAbout()
{
    CVersionDlg dlg(this);
    dlg.DoModal();
}

void CMainFrame::closeEvent(QCloseEvent* event)
{
    if (vm::message_box("終了してもよろしいですか？", vm::MB_YESNO | vm::MB_DEFBUTTON2) == vm::IDYES) {
        event->accept();
    } else {
        event->ignore();
    }
}
