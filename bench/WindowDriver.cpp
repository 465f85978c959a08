#include "WindowDriver.h"

#include "ChildProcess.h"
#include "app/UpdaterApplication.h"
#include "platform/Preferences.h"
#include "platform/UriList.h"
#include "platform/qt/QtTableView.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDragEnterEvent>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QMimeData>
#include <QTimer>
#include <QWindow>
#include <algorithm>
#include <cstdio>
#include <functional>

namespace quorvane::bench {
namespace {

// Runs the event loop until the condition holds; false when ten minutes pass first.
bool waitFor(const std::function<bool()>& condition) {
    QTimer tick;
    tick.start(5); // wakes the loop, so the condition is looked at even when nothing else happens
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > 600000) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
    return true;
}

QMessageBox* visibleSheet(UpdaterApplication& updater, const QString& titleStart) {
    for (QMessageBox* box : updater.mainWindow().widget().findChildren<QMessageBox*>()) {
        if (box->isVisible() && box->text().startsWith(titleStart)) {
            return box;
        }
    }
    return nullptr;
}

QMimeData* uriListData(const std::vector<std::string>& paths) {
    auto* data = new QMimeData;
    const std::string uriList = urilist::uriListFromLocalPaths(paths);
    data->setData("text/uri-list", QByteArray(uriList.data(), static_cast<qsizetype>(uriList.size())));
    return data;
}

QPoint rowMiddle(QtTableView& table, int row) {
    return {table.viewport()->width() / 2,
            table.rowViewportPosition(row) + table.QTableView::rowHeight(row) / 2};
}

std::string oneLine(const QString& text) {
    std::string line = text.toStdString();
    std::replace(line.begin(), line.end(), '\n', '|');
    return line;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0.0 : values[values.size() / 2];
}

} // namespace

int driveUpdateRun(const std::string& installation, const std::string& item,
                   const std::string& preferencesPath, const std::string& jarPath) {
    {
        Preferences defaults(preferencesPath);
        defaults.setStringList("Target_Path_Array", {installation});
    }
    UpdaterConfiguration configuration;
    configuration.preferencesPath = preferencesPath;
    configuration.jarPath = jarPath;
    UpdaterApplication updater(configuration);
    updater.start();
    QtTableView& table = updater.mainWindow().table();
    table.resize(600, 300);
    QCoreApplication::processEvents();

    std::unique_ptr<QMimeData> data(uriListData({item}));
    QWidget* viewport = table.viewport();
    const QPoint at = rowMiddle(table, 0);
    QDragEnterEvent enter(QPoint(2, 2), Qt::CopyAction | Qt::MoveAction, data.get(), Qt::LeftButton,
                          Qt::NoModifier);
    QCoreApplication::sendEvent(viewport, &enter);
    QDragMoveEvent move(at, Qt::CopyAction | Qt::MoveAction, data.get(), Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(viewport, &move);
    // Timed from the drop: the plan the confirmation shows is part of the update.
    const double dropped = monotonicSeconds();
    QDropEvent drop(at, Qt::CopyAction | Qt::MoveAction, data.get(), Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(viewport, &drop);
    if (!move.isAccepted() || !drop.isAccepted()) {
        std::fprintf(stderr, "the drop onto %s was refused\n", installation.c_str());
        return 2;
    }
    QMessageBox* confirmation = nullptr;
    waitFor([&] { return (confirmation = visibleSheet(updater, "Are you sure")) != nullptr; });
    const double shownAt = monotonicSeconds();
    QAbstractButton* ok = nullptr;
    for (QAbstractButton* button : confirmation ? confirmation->buttons() : QList<QAbstractButton*>()) {
        if (button->text() == "OK") {
            ok = button;
        }
    }
    if (!ok) {
        std::fprintf(stderr, "no confirmation sheet\n");
        return 2;
    }

    // How long the window goes without answering: the longest gap between two ticks of a 5 ms timer,
    // from "OK" to the report (a window that answers sees gaps of about 5 ms).
    double longestUnanswered = 0.0;
    double lastTick = monotonicSeconds();
    QTimer ticker;
    ticker.setInterval(5);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const double now = monotonicSeconds();
        longestUnanswered = std::max(longestUnanswered, now - lastTick);
        lastTick = now;
    });
    ticker.start();
    const double confirmed = monotonicSeconds();
    lastTick = confirmed;
    // The time the confirmation stood on the screen is the driver's, not the program's.
    const double start = confirmed - (shownAt - dropped);
    ok->click();
    QMessageBox* report = nullptr;
    const bool ended =
        waitFor([&] { return (report = visibleSheet(updater, "Application files")) != nullptr; });
    QCoreApplication::processEvents(); // the report drawn
    const double seconds = monotonicSeconds() - start;
    ticker.stop();
    if (!ended) {
        std::fprintf(stderr, "no completion report\n");
        return 2;
    }
    std::printf("seconds=%.6f\nplanShown=%.6f\nlongestUnanswered=%.6f\ntitle=%s\nreport=%s\n", seconds,
                shownAt - dropped, longestUnanswered, oneLine(report->text()).c_str(),
                oneLine(report->informativeText()).c_str());
    return 0;
}

int driveStartup(const std::string& preferencesPath, const std::string& draggedItem, double mainAt) {
    UpdaterConfiguration configuration;
    configuration.preferencesPath = preferencesPath;
    const double constructing = monotonicSeconds();
    UpdaterApplication updater(configuration);
    updater.start();
    QWidget& window = updater.mainWindow().widget();
    waitFor([&] { return window.windowHandle() && window.windowHandle()->isExposed(); });
    const double shown = monotonicSeconds();
    std::printf("shownAt=%.6f\nconstructToShown=%.6f\nmainToShown=%.6f\nrows=%d\n", shown,
                shown - constructing, shown - mainAt, updater.mainWindow().table().model()->rowCount());

    QtTableView& table = updater.mainWindow().table();
    std::unique_ptr<QMimeData> data(uriListData({draggedItem}));
    QWidget* viewport = table.viewport();
    const QPoint at = rowMiddle(table, 0);
    QDragEnterEvent enter(QPoint(2, 2), Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(viewport, &enter);
    std::vector<double> moves;
    bool accepted = true;
    for (int i = 0; i < 200; ++i) {
        QDragMoveEvent move(at, Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
        const double before = monotonicSeconds();
        QCoreApplication::sendEvent(viewport, &move);
        moves.push_back(monotonicSeconds() - before);
        accepted = accepted && move.isAccepted();
    }
    QDragLeaveEvent leave;
    QCoreApplication::sendEvent(viewport, &leave);

    std::vector<double> validations;
    const auto files = QtTableView::localFiles(data.get());
    for (int i = 0; i < 200; ++i) {
        const double before = monotonicSeconds();
        updater.controller().dropTarget().judgeDrag(files, DropPosition{0, DropPosition::Placement::onRow});
        validations.push_back(monotonicSeconds() - before);
    }
    std::printf("dragMove=%.9f\njudgeDrag=%.9f\ndragAccepted=%d\n", median(moves), median(validations),
                accepted ? 1 : 0);
    return 0;
}

} // namespace quorvane::bench
