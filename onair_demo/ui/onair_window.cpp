// The on-air demo's window (see onair_window.h).
#include "onair_window.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QImage>
#include <QPixmap>
#include <QVBoxLayout>
#include <QWidget>

namespace {

// Pictures are shown at two thirds of their size, so both fit a laptop's screen side by side.
constexpr int kShownWidth = 480;
constexpr int kShownHeight = 324;

QPixmap pixmap_of(const oa::OutputImage& image)
{
    if (image.width <= 0 || image.height <= 0 ||
        image.pixels.size() != static_cast<size_t>(image.width) * static_cast<size_t>(image.height)) {
        QPixmap blank(kShownWidth, kShownHeight);
        blank.fill(Qt::black);
        return blank;
    }
    // The words are 0xAARRGGBB; on air what is not covered is black, so the key is not shown.
    const QImage view(reinterpret_cast<const uchar*>(image.pixels.data()), image.width, image.height,
                      image.width * 4, QImage::Format_RGB32);
    return QPixmap::fromImage(view.scaled(kShownWidth, kShownHeight, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
}

QLabel* picture_label(QWidget* parent)
{
    auto* label = new QLabel(parent);
    label->setFixedSize(kShownWidth, kShownHeight);
    label->setFrameStyle(QFrame::Box);
    return label;
}

} // namespace

OnAirWindow::OnAirWindow(std::unique_ptr<oa::OnAirRunner> runner, QWidget* parent)
    : QMainWindow(parent), runner_(std::move(runner))
{
    setWindowTitle(QStringLiteral("zorvik-onair"));
    auto* central = new QWidget(this);
    auto* grid = new QGridLayout(central);
    program_ = picture_label(central);
    preview_ = picture_label(central);
    grid->addWidget(new QLabel(QStringLiteral("Program out"), central), 0, 0);
    grid->addWidget(new QLabel(QStringLiteral("Preview out"), central), 0, 1);
    grid->addWidget(program_, 1, 0);
    grid->addWidget(preview_, 1, 1);

    auto* transport = new QHBoxLayout;
    run_ = new QPushButton(QStringLiteral("Run"), central);
    pause_ = new QPushButton(QStringLiteral("Pause"), central);
    step_ = new QPushButton(QStringLiteral("Step a field"), central);
    counter_ = new QLabel(central);
    counter_->setMinimumWidth(220);
    status_ = new QLabel(central);
    transport->addWidget(run_);
    transport->addWidget(pause_);
    transport->addWidget(step_);
    transport->addWidget(counter_);
    transport->addWidget(status_, 1);
    grid->addLayout(transport, 2, 0, 1, 2);

    journal_ = new QListWidget(central);
    journal_->setMinimumHeight(200);
    QFont mono(QStringLiteral("monospace"));
    mono.setStyleHint(QFont::Monospace);
    journal_->setFont(mono);
    grid->addWidget(new QLabel(QStringLiteral("Board journal (latest last)"), central), 3, 0, 1, 2);
    grid->addWidget(journal_, 4, 0, 1, 2);
    setCentralWidget(central);

    connect(run_, &QPushButton::clicked, this, &OnAirWindow::run);
    connect(pause_, &QPushButton::clicked, this, &OnAirWindow::pause);
    connect(step_, &QPushButton::clicked, this, &OnAirWindow::step);
    connect(&timer_, &QTimer::timeout, this, &OnAirWindow::tick);
    timer_.setInterval(0);
    show_state();
}

bool OnAirWindow::advance_one(QString* error)
{
    std::string why;
    if (runner_->advance(why)) return true;
    pause();
    status_->setText(QString::fromStdString(why));
    if (error) *error = QString::fromStdString(why);
    return false;
}

bool OnAirWindow::run_fields(long long fields, QString* error)
{
    const long long until = runner_->field() + fields;
    while (runner_->field() < until)
        if (!advance_one(error)) return false;
    show_state();
    return true;
}

void OnAirWindow::run()
{
    if (running_) return;
    running_ = true;
    runner_->resync();
    timer_.start();
    show_state();
}

void OnAirWindow::pause()
{
    running_ = false;
    timer_.stop();
    show_state();
}

void OnAirWindow::step()
{
    if (running_) return;
    runner_->resync();
    if (advance_one(nullptr)) show_state();
}

void OnAirWindow::tick()
{
    // One field a tick: the runner waits for the board's field, so the window follows the
    // field rate without a timer of its own. Pictures are refreshed once a frame.
    if (!advance_one(nullptr)) return;
    if (runner_->field() % 2 == 0) show_state();
}

void OnAirWindow::show_state()
{
    program_->setPixmap(pixmap_of(runner_->program()));
    preview_->setPixmap(pixmap_of(runner_->preview()));
    const long long f = runner_->sheet_field();
    counter_->setText(QStringLiteral("field %1  (%2 s)%3")
                          .arg(f)
                          .arg(static_cast<double>(f) / 59.94, 0, 'f', 2)
                          .arg(runner_->sheet_done() ? QStringLiteral("  sheet done") : QString()));
    if (runner_->failures().empty())
        status_->setText(running_ ? QStringLiteral("running") : QStringLiteral("paused"));
    else
        status_->setText(QString::fromStdString(runner_->failures().back().text));
    run_->setEnabled(!running_);
    pause_->setEnabled(running_);
    step_->setEnabled(!running_);
    journal_->clear();
    for (const std::string& line : runner_->journal_lines()) journal_->addItem(QString::fromStdString(line));
    journal_->scrollToBottom();
}
