// The version dialog, in dialog units of its 9-point font.
#include "version_dlg.h"

#include <QLabel>
#include <QPushButton>

#include "ui_support.h"
#include "version_info.h"

CVersionDlg::CVersionDlg(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("ﾊﾞｰｼﾞｮﾝ情報(Velmora)"));
    setFont(vmui::point_font(vmui::kPGothic, 9));
    const vmui::DialogUnits du(font());
    setFixedSize(du.size(217, 55));
    setProperty("dialogId", static_cast<int>(IDD));

    auto* icon = new QLabel(this);
    const QRect icon_rect = du.rect(11, 17, 20, 20);
    icon->setGeometry(icon_rect);
    icon->setPixmap(vmui::velmora_icon().pixmap(32, 32));
    m_textVersion = new QLabel(QStringLiteral("Velmora Version 1.0"), this);
    m_textVersion->setGeometry(du.rect(40, 10, 119, 8));
    vmui::set_control_id(m_textVersion, 1011);
    m_textCopyright = new QLabel(QStringLiteral("Copyright (C)"), this);
    m_textCopyright->setGeometry(du.rect(40, 25, 170, 8));
    vmui::set_control_id(m_textCopyright, 1012);
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setGeometry(du.rect(178, 7, 32, 14));
    ok->setDefault(true);
    vmui::set_control_id(ok, 1);
    connect(ok, &QPushButton::clicked, this, &CVersionDlg::accept);
}

void CVersionDlg::OnInitDialog()
{
    const auto translation = vmui::version_translation();
    if (!translation) return;
    const QString key = QStringLiteral("%1%2")
                            .arg(*translation & 0xFFFF, 4, 16, QLatin1Char('0'))
                            .arg(*translation >> 16, 4, 16, QLatin1Char('0'));
    auto query = [&](const char* name) {
        return vmui::version_string(QStringLiteral("\\StringFileInfo\\%1\\%2").arg(key, QString::fromLatin1(name)));
    };
    const auto version = query("ProductVersion");
    const auto internal_name = query("InternalName");
    if (version && internal_name) m_textVersion->setText(QStringLiteral("%1 Version %2").arg(*internal_name, *version));
    if (const auto notice = query("LegalCopyright")) m_textCopyright->setText(*notice);
}

int CVersionDlg::DoModal()
{
    OnInitDialog();
    return exec();
}
