// The on-air demo's window: program out and preview out side by side, live, with the transport
// (run, pause, one field), the field counter and the last entries of the board's journal.
//
// The window drives a runner: on the real clock it advances once for every field of the board
// (a pause lets the fields pass unplayed; the sheet goes on from where it stood); on a stepped
// clock (screenshots) every advance is one stepped field. Nothing here knows the library: the
// runner hands over the pictures as plain pixels.
#pragma once

#include <QLabel>
#include <QListWidget>
#include <QMainWindow>
#include <QPushButton>
#include <QTimer>

#include <memory>

#include "core/onair_runner.h"

class OnAirWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit OnAirWindow(std::unique_ptr<oa::OnAirRunner> runner, QWidget* parent = nullptr);

    // Runs `fields` more fields at once (no display in between) and shows the result.
    bool run_fields(long long fields, QString* error);
    oa::OnAirRunner& runner() { return *runner_; }

public slots:
    void run();
    void pause();
    void step();

private slots:
    void tick();

private:
    bool advance_one(QString* error);
    void show_state();

    std::unique_ptr<oa::OnAirRunner> runner_;
    QLabel* program_ = nullptr;
    QLabel* preview_ = nullptr;
    QLabel* counter_ = nullptr;
    QLabel* status_ = nullptr;
    QListWidget* journal_ = nullptr;
    QPushButton* run_ = nullptr;
    QPushButton* pause_ = nullptr;
    QPushButton* step_ = nullptr;
    QTimer timer_;
    bool running_ = false;
};
