#pragma once

#include <QTextBrowser>

namespace quorvane {

// The program's help in a window of its own: the sections of its README, shipped with it as the resource
// ":/help/README.md", read-only, scrolled and selected with the keyboard.
class HelpWindow : public QTextBrowser {
public:
    explicit HelpWindow(QWidget* parent);

    // The README as the window shows it: its sections without the pictures, which it does not ship.
    static QString helpText(const QString& markdown);

protected:
    // Escape closes it.
    void keyPressEvent(QKeyEvent* event) override;
};

} // namespace quorvane
