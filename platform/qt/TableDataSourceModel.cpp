#include "platform/qt/TableDataSourceModel.h"

#include "platform/TableDataSource.h"
#include "platform/qt/QtImage.h"

#include <algorithm>
#include <optional>

namespace quorvane {
namespace {

std::optional<AttributedString> styledText(const ObjectValue& value) {
    if (const auto* text = std::get_if<std::string>(&value)) {
        return AttributedString(*text);
    }
    if (const auto* text = std::get_if<AttributedString>(&value)) {
        return *text;
    }
    if (const auto* number = std::get_if<int>(&value)) {
        return AttributedString(std::to_string(*number));
    }
    return std::nullopt;
}

QString plainText(const ObjectValue& value) {
    const std::optional<AttributedString> text = styledText(value);
    return text ? QString::fromStdString(text->string()) : QString();
}

QVariant icon(const ObjectValue& value) {
    const auto* image = std::get_if<ImagePtr>(&value);
    const auto* qtImage = image ? dynamic_cast<const QtImage*>(image->get()) : nullptr;
    return qtImage ? QVariant(qtImage->icon()) : QVariant();
}

} // namespace

TableDataSourceModel::TableDataSourceModel(TableView& tableView, QObject* parent)
    : QAbstractTableModel(parent), _tableView(tableView) {}

void TableDataSourceModel::setColumnIdentifiers(std::vector<std::string> identifiers) {
    beginResetModel();
    _columnIdentifiers = std::move(identifiers);
    endResetModel();
}

void TableDataSourceModel::setDataSource(TableDataSource* dataSource) {
    _dataSource = dataSource;
    reload();
}

void TableDataSourceModel::reload() {
    beginResetModel();
    _rowCount = _dataSource ? std::max(0, _dataSource->numberOfRowsInTableView(_tableView)) : 0;
    endResetModel();
}

int TableDataSourceModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : _rowCount;
}

int TableDataSourceModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(_columnIdentifiers.size());
}

QVariant TableDataSourceModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid) || _dataSource == nullptr) {
        return {};
    }
    switch (role) {
    case Qt::DisplayRole: {
        const QString text = plainText(value(index.row(), index.column()));
        return text.isNull() ? QVariant() : QVariant(text);
    }
    case StyledTextRole: {
        const std::optional<AttributedString> text = styledText(value(index.row(), index.column()));
        return text ? QVariant::fromValue(*text) : QVariant();
    }
    case Qt::DecorationRole:
        return icon(value(index.row(), index.column()));
    case Qt::ToolTipRole: {
        const QString text = plainText(value(index.row(), index.column())).trimmed();
        return text.isEmpty() ? QVariant() : QVariant(text);
    }
    case Qt::AccessibleTextRole:
        return index.column() == firstTextColumn(index.row()) ? QVariant(rowText(index.row()))
                                                              : QVariant(QString());
    default:
        return {};
    }
}

ObjectValue TableDataSourceModel::value(int row, int column) const {
    return _dataSource->objectValueForTableColumn(_tableView,
                                                  _columnIdentifiers[static_cast<std::size_t>(column)], row);
}

int TableDataSourceModel::firstTextColumn(int row) const {
    for (int column = 0; column < columnCount(); ++column) {
        if (!plainText(value(row, column)).trimmed().isEmpty()) {
            return column;
        }
    }
    return 0;
}

QString TableDataSourceModel::rowText(int row) const {
    QStringList texts;
    for (int column = 0; column < columnCount(); ++column) {
        const QString text = plainText(value(row, column)).trimmed();
        if (!text.isEmpty()) {
            texts.append(text);
        }
    }
    return texts.join('\n');
}

} // namespace quorvane
