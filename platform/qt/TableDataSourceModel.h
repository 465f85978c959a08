#pragma once

#include "platform/AttributedString.h"
#include "platform/ObjectValue.h"

#include <QAbstractTableModel>
#include <string>
#include <vector>

namespace quorvane {

class TableDataSource;
class TableView;

// Hands a Qt item view what a table's data source answers, cell by cell. Like the table it serves, it
// counts the rows again only when reloaded.
class TableDataSourceModel : public QAbstractTableModel {
    Q_OBJECT
public:
    // The cell's text with its styled runs (an AttributedString), for text and numbers.
    static constexpr int StyledTextRole = Qt::UserRole + 1;

    TableDataSourceModel(TableView& tableView, QObject* parent);

    const std::vector<std::string>& columnIdentifiers() const { return _columnIdentifiers; }
    void setColumnIdentifiers(std::vector<std::string> identifiers);
    TableDataSource* dataSource() const { return _dataSource; }
    void setDataSource(TableDataSource* dataSource);
    void reload();

    // The row's first column that holds text (0 when none does): the cell that names the row.
    int firstTextColumn(int row) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    // Display: the plain text. Decoration: the image. Tool tip: the whole text, which the cell may show
    // shortened. Accessible text: the plain texts of the whole row, given once, by its first cell that
    // holds text, so that a screen reader reads the row once (path, then status); its other cells are
    // named empty.
    QVariant data(const QModelIndex& index, int role) const override;

private:
    ObjectValue value(int row, int column) const;
    QString rowText(int row) const;

    TableView& _tableView;
    TableDataSource* _dataSource = nullptr;
    std::vector<std::string> _columnIdentifiers;
    int _rowCount = 0;
};

} // namespace quorvane

Q_DECLARE_METATYPE(quorvane::AttributedString)
