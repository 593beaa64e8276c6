// The new-folder dialog, laid out in dialog units of its 12-point font.
#include "make_folder_dlg.h"

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "core/message_box.h"
#include "core/velmora_doc.h"
#include "ui_support.h"

CMakeFolderDlg::CMakeFolderDlg(CVelmoraDoc* doc, QWidget* parent) : QDialog(parent), m_pDoc(doc)
{
    setWindowTitle(QStringLiteral("フォルダ作成"));
    setFont(vmui::point_font(vmui::kPGothic, 12));
    const vmui::DialogUnits du(font());
    setFixedSize(du.size(160, 60));
    setProperty("dialogId", static_cast<int>(IDD));

    auto* label = new QLabel(QStringLiteral("フォルダ名"), this);
    label->setGeometry(du.rect(5, 5, 40, 15));
    m_editName = new QLineEdit(this);
    m_editName->setGeometry(du.rect(5, 20, 150, 12));
    vmui::set_control_id(m_editName, 1003);

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setGeometry(du.rect(80, 40, 40, 15));
    vmui::set_control_id(ok, 1004);
    auto* cancel = new QPushButton(QStringLiteral("ｷｬﾝｾﾙ"), this);
    cancel->setGeometry(du.rect(115, 40, 40, 15));
    vmui::set_control_id(cancel, 2);
    // The designed default button: hidden and disabled, so Enter in the name field finds no
    // button to press and the dialog stays open.
    auto* hidden_default = new QPushButton(this);
    hidden_default->setGeometry(du.rect(10, 40, 10, 10));
    hidden_default->setDefault(true);
    hidden_default->setEnabled(false);
    hidden_default->hide();
    vmui::set_control_id(hidden_default, 1);
    for (QPushButton* b : {ok, cancel}) b->setAutoDefault(false);

    connect(ok, &QPushButton::clicked, this, &CMakeFolderDlg::OnOK);
    connect(cancel, &QPushButton::clicked, this, &CMakeFolderDlg::reject);
    m_editName->setFocus();
}

QString CMakeFolderDlg::JoinFolder(const QString& base, const QString& name)
{
    if (base.isEmpty()) return name;
    return base.endsWith(QLatin1Char('/')) ? base + name : base + QLatin1Char('/') + name;
}

void CMakeFolderDlg::OnOK()
{
    const QString name = m_editName->text();
    if (name.isEmpty()) return;
    const QString path = JoinFolder(QString::fromStdString(m_pDoc->m_strDstBasePath.str()), name);
    m_pDoc->m_strNewFolderPath = path.toStdString();
    if (!QDir().mkdir(path)) {
        vm::message_box("フォルダの作成に失敗しました。\n既に同じ名前のフォルダが存在しないか確認して下さい。");
        return;
    }
    m_pDoc->m_strDstPath = m_pDoc->m_strNewFolderPath;
    accept();
}
