#pragma once

#include <QListView>
#include <QString>
#include <string>

class QAbstractButton;
class QMessageBox;

namespace quorvane {

class TextLinesModel;

// A message box's details as a list with a row per line, in place of the box's own text editor, which
// holds its whole text as a document and took more memory than an update of 100,000 files. The box keeps
// its details button, which shows and hides the list; its labels are the ones given, when given. The list
// takes the keyboard (Tab), copies its selected lines (Ctrl+C) and reads as a list to screen readers.
class DetailsList : public QListView {
public:
    // Sets the box's details, before its other buttons are added; the box owns the list.
    // showLabel, hideLabel: the details button's labels; empty: the toolkit's own.
    DetailsList(QMessageBox& box, std::string details, const QString& showLabel, const QString& hideLabel);

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    TextLinesModel* _lines;
    QAbstractButton* _button = nullptr;
    QString _showLabel;
    QString _hideLabel;
};

} // namespace quorvane
