#pragma once

#include <QAbstractTableModel>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

#include "document/model.h"

// A report-style view of one of the movie data lists. The rows are the list's own elements: each
// row's text is read from its element whenever it is drawn, so the view never holds a second copy.
// The first column "#" is the row's position (counted from `firstNumber`), which is also written into
// each element's number whenever rows come and go, since actions and the file refer to entries by it.
template <typename T> class OwnedListModel : public QAbstractTableModel
{
public:
    struct Column
    {
        QString header;
        std::function<QString(const T&)> text;
    };

    OwnedListModel(OwnedList<T>& list, int firstNumber, std::vector<Column> columns, QObject* parent = nullptr)
        : QAbstractTableModel(parent), m_list(list), m_first(firstNumber), m_columns(std::move(columns)),
          m_rows(int(list.size()))
    {
    }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override
    {
        return parent.isValid() ? 0 : m_rows;
    }
    int columnCount(const QModelIndex& parent = QModelIndex()) const override
    {
        return parent.isValid() ? 0 : int(m_columns.size()) + 1;
    }

    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override
    {
        if (role != Qt::DisplayRole || !index.isValid() || index.row() >= int(m_list.size()))
            return {};
        if (index.column() == 0)
            return QString::number(index.row() + m_first);
        return m_columns[size_t(index.column() - 1)].text(*m_list[size_t(index.row())]);
    }

    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override
    {
        if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
            return {};
        if (section == 0)
            return QStringLiteral("#");
        if (section > 0 && section <= int(m_columns.size()))
            return m_columns[size_t(section - 1)].header;
        return {};
    }

    int size() const { return int(m_list.size()); }
    bool isValidRow(int row) const { return row >= 0 && row < int(m_list.size()); }
    T& at(int row) { return *m_list[size_t(row)]; }

    void append(std::unique_ptr<T> element)
    {
        const int row = int(m_list.size());
        beginInsertRows({}, row, row);
        m_list.push_back(std::move(element));
        m_rows = int(m_list.size());
        endInsertRows();
        renumber();
    }

    void remove(int row)
    {
        if (!isValidRow(row))
            return;
        beginRemoveRows({}, row, row);
        m_list.erase(m_list.begin() + row);
        m_rows = int(m_list.size());
        endRemoveRows();
        renumber();
    }

    // Replaces every row at once (the chapter import).
    void replaceAll(OwnedList<T> elements)
    {
        beginResetModel();
        m_list = std::move(elements);
        m_rows = int(m_list.size());
        endResetModel();
        renumber();
    }

    void rowChanged(int row)
    {
        if (isValidRow(row))
            emit dataChanged(index(row, 0), index(row, columnCount() - 1));
    }

    // Catches up with changes made to the list behind the model's back (the file reader fills the
    // lists directly). Returns true when the rows had to be reset, which drops the view's selection.
    bool refresh()
    {
        if (m_rows != int(m_list.size())) {
            beginResetModel();
            m_rows = int(m_list.size());
            endResetModel();
            return true;
        }
        if (m_rows > 0)
            emit dataChanged(index(0, 0), index(m_rows - 1, columnCount() - 1));
        return false;
    }

private:
    void renumber()
    {
        for (size_t i = 0; i < m_list.size(); ++i)
            m_list[i]->number = QString::number(int(i) + m_first);
        if (m_rows > 0)
            emit dataChanged(index(0, 0), index(m_rows - 1, 0));
    }

    OwnedList<T>& m_list;
    int m_first;
    std::vector<Column> m_columns;
    // The row count the views were last told about; the list may have grown since (see refresh()).
    int m_rows;
};
