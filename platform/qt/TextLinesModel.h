#pragma once

#include <QAbstractListModel>
#include <string>
#include <string_view>
#include <vector>

namespace quorvane {

// Finished text as a list with a row per line, held once: a line becomes a QString only when a view asks
// for it, so that hundreds of thousands of lines cost little more than their bytes. Plain text.
class TextLinesModel : public QAbstractListModel {
public:
    explicit TextLinesModel(std::string text, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;

    // The row of the line with the most bytes; 0 when there is none.
    int longestRow() const;
    // The lines of the rows, in their order, each ended by a newline.
    QString lines(const QModelIndexList& rows) const;

private:
    std::string_view line(int row) const;

    std::string _text;
    // Where each line begins in the text; a line ends at the next one's beginning, less its newline.
    std::vector<std::size_t> _starts;
};

} // namespace quorvane
