#include "platform/qt/TextLinesModel.h"

#include <algorithm>

namespace quorvane {

TextLinesModel::TextLinesModel(std::string text, QObject* parent)
    : QAbstractListModel(parent), _text(std::move(text)) {
    _starts.reserve(static_cast<std::size_t>(std::count(_text.begin(), _text.end(), '\n')) + 1);
    for (std::size_t start = 0; start < _text.size();) {
        _starts.push_back(start);
        const std::size_t end = _text.find('\n', start);
        start = end == std::string::npos ? _text.size() : end + 1;
    }
}

int TextLinesModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(_starts.size());
}

std::string_view TextLinesModel::line(int row) const {
    const std::size_t start = _starts[static_cast<std::size_t>(row)];
    const std::size_t next = static_cast<std::size_t>(row) + 1 < _starts.size()
                                 ? _starts[static_cast<std::size_t>(row) + 1]
                                 : _text.size();
    std::string_view text(_text);
    text = text.substr(start, next - start);
    return text.ends_with('\n') ? text.substr(0, text.size() - 1) : text;
}

QVariant TextLinesModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount() || role != Qt::DisplayRole) {
        return {};
    }
    const std::string_view text = line(index.row());
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

int TextLinesModel::longestRow() const {
    int longest = 0;
    for (int row = 1; row < rowCount(); ++row) {
        longest = line(row).size() > line(longest).size() ? row : longest;
    }
    return longest;
}

QString TextLinesModel::lines(const QModelIndexList& rows) const {
    std::vector<int> numbers;
    for (const QModelIndex& index : rows) {
        numbers.push_back(index.row());
    }
    std::sort(numbers.begin(), numbers.end());
    numbers.erase(std::unique(numbers.begin(), numbers.end()), numbers.end());
    std::string text;
    for (const int row : numbers) {
        text.append(line(row)).append("\n");
    }
    return QString::fromStdString(text);
}

} // namespace quorvane
