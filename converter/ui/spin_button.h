// SpinButton: a pair of up and down arrows attached to an edit to its left, which shows the
// position as a decimal number, as the custom dialog's six number fields were designed
// (separate edit and arrows, each with its own id and rectangle).
//
// The edit stays free text: the arrows read the number currently in it (its leading decimal
// number, 0 when there is none), step it by one within the range and write it back.
#pragma once

#include <QWidget>

class QLineEdit;
class QToolButton;

namespace vmui {

class SpinButton : public QWidget {
    Q_OBJECT
public:
    SpinButton(QLineEdit* buddy, QWidget* parent);

    void SetRange(int lower, int upper);
    int lower() const { return lower_; }
    int upper() const { return upper_; }
    // Clamps to the range and writes the buddy's text.
    void SetPos(int pos);
    // The buddy's current number, clamped to the range.
    int GetPos() const;

    void step(int delta);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    QLineEdit* buddy_;
    QToolButton* up_;
    QToolButton* down_;
    int lower_ = 0;
    int upper_ = 100;
};

} // namespace vmui
