// Up and down arrows for a number edit.
#include "spin_button.h"

#include <QLineEdit>
#include <QToolButton>
#include <algorithm>

#include "core/ini_profile.h"

namespace vmui {

SpinButton::SpinButton(QLineEdit* buddy, QWidget* parent)
    : QWidget(parent), buddy_(buddy), up_(new QToolButton(this)), down_(new QToolButton(this))
{
    up_->setArrowType(Qt::UpArrow);
    down_->setArrowType(Qt::DownArrow);
    for (QToolButton* b : {up_, down_}) {
        b->setAutoRepeat(true);
        b->setFocusPolicy(Qt::NoFocus);
    }
    connect(up_, &QToolButton::clicked, this, [this] { step(1); });
    connect(down_, &QToolButton::clicked, this, [this] { step(-1); });
}

void SpinButton::SetRange(int lower, int upper)
{
    lower_ = std::min(lower, upper);
    upper_ = std::max(lower, upper);
}

void SpinButton::SetPos(int pos)
{
    buddy_->setText(QString::number(std::clamp(pos, lower_, upper_)));
}

int SpinButton::GetPos() const
{
    return std::clamp<int>(vm::IniProfile::ParseInt(buddy_->text().toStdString()), lower_, upper_);
}

void SpinButton::step(int delta)
{
    SetPos(GetPos() + delta);
}

void SpinButton::resizeEvent(QResizeEvent*)
{
    const int h = height() / 2;
    up_->setGeometry(0, 0, width(), h);
    down_->setGeometry(0, h, width(), height() - h);
}

} // namespace vmui
