// zorvik-onair: the on-air demo host. Headless runs (--record, --realtime --stats) need no
// display; otherwise it opens the window, playing the cue sheet on the board's real clock, or
// on a stepped clock for --screenshot (N fields, the window saved as a picture, then quit).
#include <QApplication>
#include <QGuiApplication>

#include <cstdio>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "core/command_line.h"
#include "core/cue_sheet.h"
#include "core/onair_runner.h"
#include "ui/onair_window.h"

int main(int argc, char** argv)
{
    const std::vector<std::string> args(argv + 1, argv + argc);
    oa::CommandLine cmd;
    std::string error;
    if (!oa::parse_command_line(args, cmd, error)) {
        std::cerr << "zorvik-onair: " << error << '\n' << oa::usage_text();
        return 2;
    }
    if (cmd.help) {
        std::cout << oa::usage_text();
        return 0;
    }
    if (cmd.list) {
        std::cout << "cue sheet operations (<field> <operation> <arguments> [option=N ...]):\n"
                  << oa::cue_operations_help();
        return 0;
    }
    if (cmd.headless()) return oa::run_headless(cmd, std::cout, std::cerr);

    oa::CueSheet sheet;
    oa::CueError bad;
    if (!cmd.cue.empty() && !oa::load_cue_sheet(cmd.cue, sheet, bad)) {
        std::cerr << cmd.cue << ": " << bad.text() << '\n';
        return 2;
    }
    QApplication app(argc, argv);
    oa::RunnerOptions options;
    options.clock = cmd.screenshot.empty() ? oa::ClockMode::real_time : oa::ClockMode::stepped;
    options.keep_output = true;
    options.sheet_folder = std::filesystem::path(cmd.cue).parent_path().string();
    auto runner = std::make_unique<oa::OnAirRunner>(options);
    if (!runner->start(error)) {
        std::cerr << "zorvik-onair: " << error << '\n';
        return 1;
    }
    runner->load(sheet);
    OnAirWindow window(std::move(runner));
    window.show();
    if (!cmd.screenshot.empty()) {
        QString why;
        const long long fields = cmd.fields >= 0 ? cmd.fields : 0;
        if (!window.run_fields(fields, &why)) {
            std::cerr << "zorvik-onair: " << why.toStdString() << '\n';
            return 1;
        }
        QApplication::processEvents();
        if (!window.grab().save(QString::fromStdString(cmd.screenshot))) {
            std::cerr << "zorvik-onair: cannot write " << cmd.screenshot << '\n';
            return 1;
        }
        std::cout << "saved the window after " << fields << " fields to " << cmd.screenshot << '\n';
        return window.runner().failures().empty() ? 0 : 1;
    }
    window.run();
    return app.exec();
}
