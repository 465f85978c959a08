#include "platform/qt/HistoryWindow.h"

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

namespace quorvane {
namespace {

QString translated(const char* text) {
    return QCoreApplication::translate("HistoryWindow", text);
}

} // namespace

HistoryWindow::HistoryWindow(QWidget& parent, Preferences& preferences)
    : QDialog(&parent), _window(*this, preferences), _installation(new QLabel(this)),
      _table(new QTableView(this)) {
    setWindowTitle(translated("Update History"));
    setWindowModality(Qt::WindowModal);
    _installation->setTextFormat(Qt::PlainText);
    _table->setSelectionBehavior(QAbstractItemView::SelectRows);
    _table->setSelectionMode(QAbstractItemView::SingleSelection);
    _table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    _table->verticalHeader()->hide();
    _table->horizontalHeader()->setStretchLastSection(true);
    _table->setWordWrap(false);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    const char* const texts[] = {
        "Undo This Update",
        "Restore to Before All Updates",
        "Remove Old Backups…",
    };
    for (int action = 0; action < 3; ++action) {
        _buttons[action] = buttons->addButton(translated(texts[action]), QDialogButtonBox::ActionRole);
        _buttons[action]->setAutoDefault(false);
        connect(_buttons[action], &QPushButton::clicked, this,
                [this, action] { take(static_cast<HistoryAction>(action)); });
    }
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(_installation);
    layout->addWidget(_table);
    layout->addWidget(buttons);
    resize(760, 320);
}

QPushButton& HistoryWindow::button(HistoryAction action) {
    return *_buttons[static_cast<int>(action)];
}

void HistoryWindow::showHistory(const std::string& installation, QAbstractItemModel& updates,
                                HistoryActions& actions) {
    _actions = &actions;
    _installation->setText(QString::fromStdString(installation));
    if (_table->model() != &updates) {
        _table->setModel(&updates);
        connect(&updates, &QAbstractItemModel::modelReset, this, [this] {
            _table->selectRow(0);
            refresh();
        });
        connect(_table->selectionModel(), &QItemSelectionModel::selectionChanged, this,
                &HistoryWindow::refresh);
    }
    _table->resizeColumnsToContents();
    _table->selectRow(0);
    refresh();
    open();
    raise();
    activateWindow();
    _table->setFocus();
}

int HistoryWindow::selectedRow() const {
    const QModelIndexList rows =
        _table->selectionModel() ? _table->selectionModel()->selectedRows() : QModelIndexList();
    return rows.isEmpty() ? -1 : rows.front().row();
}

void HistoryWindow::refresh() {
    for (int action = 0; action < 3; ++action) {
        _buttons[action]->setEnabled(
            _actions != nullptr &&
            _actions->historyActionEnabled(static_cast<HistoryAction>(action), selectedRow()));
    }
}

void HistoryWindow::take(HistoryAction action) {
    if (_actions != nullptr) {
        _actions->takeHistoryAction(action, selectedRow());
    }
    refresh();
}

void HistoryWindow::openSheet(Sheet sheet) {
    // The buttons are looked at again once the sheet is answered: a job may have begun or ended.
    sheet.answered = [this, answered = std::move(sheet.answered)](SheetAnswer answer) {
        if (answered) {
            answered(answer);
        }
        refresh();
    };
    _window.openSheet(std::move(sheet));
}

} // namespace quorvane
