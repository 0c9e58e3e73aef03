#pragma once

#include "link/lineroster.h"

#include <QAbstractTableModel>
#include <QList>
#include <QStringList>
#include <QVector>

#include <functional>

// Columns another part of the window shows after the table's own (the Check mode's), for the
// unit at each address.
class UnitColumns
{
public:
    virtual ~UnitColumns() = default;
    virtual int count() const = 0;
    virtual QString header(int column) const = 0;
    // Qt::DisplayRole, UnitTable::SortRole, Qt::ForegroundRole, Qt::ToolTipRole and the others.
    virtual QVariant data(int address, int column, int role) const = 0;
    // The table is about to be shown anew.
    virtual void refresh() = 0;
};

// The units of a line as a table, one row a unit in address order: who it is, its last reading in
// its own unit (grey when not current) with its age, and how it answers. It shows the roster as it
// is at refresh(); the view sorts a proxy of it.
class UnitTable : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column {
        Address,
        Serial,
        DeviceType,
        Sensor,
        Firmware,
        Temperature,
        Humidity,
        DewPoint,
        Age,
        Success,
        Timeouts,
        BadFrames,
        MeanResponse,
        P95Response,
        State,
        ColumnCount
    };
    // The raw value of a cell for sorting (numbers as numbers).
    static constexpr int SortRole = Qt::UserRole;

    // nowMs tells the roster's clock, for the age of a reading and since when a unit is silent.
    UnitTable(const LineRoster *roster, std::function<qint64()> nowMs, QObject *parent = nullptr);

    // Takes the roster as it is now: new units become rows, and the cells whose text changed are
    // shown anew (a repainted cell costs its text's layout: most do not change a second).
    void refresh();
    // Columns after the table's own, or none (nullptr); inserted and removed as columns, so that
    // the view keeps its selection and its order.
    void setExtraColumns(UnitColumns *columns);
    int addressAt(int row) const { return addresses.value(row); }
    int rowOf(int address) const { return int(addresses.indexOf(address)); }

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // The table as CSV (a header, then a row a unit, in this order of rows), for a file or the
    // clipboard; "." as the decimal mark, readings in each unit's own unit.
    QString csv(const QList<int> &rows) const;

private:
    QString text(const LineUnit &unit, int column) const;
    QVariant sortValue(const LineUnit &unit, int column) const;
    QString stateText(const LineUnit &unit) const;

    void cellsChanged(int row, int first, int last);

    const LineRoster *roster;
    std::function<qint64()> nowMs;
    QList<int> addresses;
    QVector<QStringList> shown; // each row's texts as last shown
    UnitColumns *extra = nullptr;
};
