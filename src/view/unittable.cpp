#include "view/unittable.h"

#include "protocol/deviceinfo.h"

#include <QColor>
#include <QTime>

namespace {
constexpr qint64 MsPerSecond = 1000;
constexpr qint64 SecondsPerMinute = 60;

QString orDash(int value, const QString &suffix = QString())
{
    return value < 0 ? QStringLiteral("–") : QString::number(value) + suffix;
}

QString csvField(QString text)
{
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')))
        return text;
    return QLatin1Char('"') + text.replace(QLatin1Char('"'), QStringLiteral("\"\"")) +
           QLatin1Char('"');
}
} // namespace

UnitTable::UnitTable(const LineRoster *roster, std::function<qint64()> nowMs, QObject *parent)
    : QAbstractTableModel(parent), roster(roster), nowMs(std::move(nowMs))
{
    addresses = roster->addresses();
}

void UnitTable::setExtraColumns(UnitColumns *columns)
{
    if (extra) {
        beginRemoveColumns(QModelIndex(), ColumnCount, ColumnCount + extra->count() - 1);
        extra = nullptr;
        endRemoveColumns();
    }
    if (columns) {
        beginInsertColumns(QModelIndex(), ColumnCount, ColumnCount + columns->count() - 1);
        extra = columns;
        endInsertColumns();
    }
}

void UnitTable::refresh()
{
    if (extra)
        extra->refresh();
    const QList<int> now = roster->addresses();
    if (now != addresses) {
        beginResetModel();
        addresses = now;
        shown = QVector<QStringList>(addresses.size());
        endResetModel();
    }
    const int columns = columnCount();
    for (int row = 0; row < addresses.size(); ++row) {
        const LineUnit *unit = roster->find(addresses[row]);
        if (!unit)
            continue;
        // The texts of the row (the other part's columns too), and last whether its reading is
        // current (its colour).
        QStringList texts;
        for (int column = 0; column < columns; ++column)
            texts << (column < ColumnCount
                          ? text(*unit, column)
                          : extra->data(unit->address, column - ColumnCount, Qt::DisplayRole)
                                .toString());
        texts << QString::number(unit->readingCurrent);
        const QStringList before = shown[row];
        shown[row] = texts;
        if (before.size() != texts.size()) {
            cellsChanged(row, 0, columns - 1);
            continue;
        }
        if (before.last() != texts.last())
            cellsChanged(row, Temperature, DewPoint);
        for (int column = 0; column < columns; ++column)
            if (before[column] != texts[column])
                cellsChanged(row, column, column);
    }
}

void UnitTable::cellsChanged(int row, int first, int last)
{
    emit dataChanged(index(row, first), index(row, last));
}

int UnitTable::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(addresses.size());
}

int UnitTable::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount + (extra ? extra->count() : 0);
}

QVariant UnitTable::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QVariant();
    if (extra && section >= ColumnCount)
        return extra->header(section - ColumnCount);
    switch (section) {
    case Address:
        return tr("Address");
    case Serial:
        return tr("Serial");
    case DeviceType:
        return tr("Type");
    case Sensor:
        return tr("Sensor");
    case Firmware:
        return tr("Firmware");
    case Temperature:
        return tr("Temperature");
    case Humidity:
        return tr("Humidity");
    case DewPoint:
        return tr("Dew point");
    case Age:
        return tr("Age");
    case Success:
        return tr("Answered");
    case Timeouts:
        return tr("Timeouts");
    case BadFrames:
        return tr("Bad frames");
    case MeanResponse:
        return tr("Mean");
    case P95Response:
        return tr("95 %");
    case State:
        return tr("State");
    default:
        return QVariant();
    }
}

QVariant UnitTable::data(const QModelIndex &index, int role) const
{
    const LineUnit *unit = roster->find(addresses.value(index.row()));
    if (!unit || !index.isValid())
        return QVariant();
    const int column = index.column();
    if (extra && column >= ColumnCount)
        return extra->data(unit->address, column - ColumnCount, role);
    switch (role) {
    case Qt::DisplayRole:
        return text(*unit, column);
    case SortRole:
        return sortValue(*unit, column);
    case Qt::ForegroundRole: {
        const bool reading = column >= Temperature && column <= DewPoint;
        if (reading && !unit->readingCurrent)
            return QColor(Qt::gray);
        if (column == State && unit->state() != LineUnit::State::Answering)
            return QColor(Qt::red);
        return QVariant();
    }
    case Qt::TextAlignmentRole:
        return column == Serial || column == State || column == DeviceType || column == Sensor
                   ? QVariant(Qt::AlignLeft | Qt::AlignVCenter)
                   : QVariant(Qt::AlignRight | Qt::AlignVCenter);
    default:
        return QVariant();
    }
}

QString UnitTable::text(const LineUnit &unit, int column) const
{
    const UnitIdentity &id = unit.identity;
    const std::optional<Reading> &reading = unit.reading;
    auto value = [&](const std::optional<double> &v, const QString &suffix) {
        return reading && v ? reading->text(*v) + suffix : QString();
    };
    const QString degrees = reading ? QStringLiteral(" ") + reading->unit() : QString();
    const UnitHealth &health = unit.health;
    switch (column) {
    case Address:
        return QString::number(unit.address);
    case Serial:
        return id.known ? id.serial : QString();
    case DeviceType:
        return id.known ? DeviceInfo::deviceTypeName(id.deviceType) : QString();
    case Sensor:
        return id.known ? DeviceInfo::sensorTypeName(id.sensorType) : QString();
    case Firmware:
        return id.known ? DeviceInfo::firmwareText(id.firmware) : QString();
    case Temperature:
        return reading ? value(reading->temperature, degrees) : QString();
    case Humidity:
        return reading ? value(reading->humidity, QStringLiteral(" %")) : QString();
    case DewPoint:
        return reading ? value(reading->dewPoint, degrees) : QString();
    case Age: {
        if (!reading)
            return QString();
        const qint64 seconds = (nowMs() - unit.readingAtMs) / MsPerSecond;
        return seconds < SecondsPerMinute ? tr("%1 s").arg(seconds)
                                          : tr("%1 min").arg(seconds / SecondsPerMinute);
    }
    case Success:
        return orDash(health.successPercent(), QStringLiteral(" %"));
    case Timeouts:
        return QString::number(health.timeouts);
    case BadFrames:
        return QString::number(health.badFrames);
    case MeanResponse:
        return orDash(health.meanResponseMs(), tr(" ms"));
    case P95Response:
        return orDash(health.p95ResponseMs(), tr(" ms"));
    case State:
        return stateText(unit);
    default:
        return QString();
    }
}

QString UnitTable::stateText(const LineUnit &unit) const
{
    switch (unit.state()) {
    case LineUnit::State::Conflict:
        return tr("two units at address %1?").arg(unit.address);
    case LineUnit::State::Silent: {
        const qint64 since = unit.watch.silentSinceMs().value_or(nowMs());
        const QTime wall = QTime::currentTime().addMSecs(int(since - nowMs()));
        return tr("silent since %1").arg(wall.toString(QStringLiteral("hh:mm:ss")));
    }
    case LineUnit::State::Answering:
        break;
    }
    return unit.health.replies > 0 ? tr("answering") : tr("not heard yet");
}

QVariant UnitTable::sortValue(const LineUnit &unit, int column) const
{
    const std::optional<Reading> &reading = unit.reading;
    auto number = [](const std::optional<double> &v) { return v ? QVariant(*v) : QVariant(); };
    switch (column) {
    case Address:
        return unit.address;
    case Temperature:
        return reading ? number(reading->temperature) : QVariant();
    case Humidity:
        return reading ? number(reading->humidity) : QVariant();
    case DewPoint:
        return reading ? number(reading->dewPoint) : QVariant();
    case Age:
        return reading ? QVariant(nowMs() - unit.readingAtMs) : QVariant();
    case Success:
        return unit.health.successPercent();
    case Timeouts:
        return unit.health.timeouts;
    case BadFrames:
        return unit.health.badFrames;
    case MeanResponse:
        return unit.health.meanResponseMs();
    case P95Response:
        return unit.health.p95ResponseMs();
    default:
        return text(unit, column);
    }
}

QString UnitTable::csv(const QList<int> &rows) const
{
    QStringList lines;
    QStringList header;
    for (int column = 0; column < columnCount(); ++column)
        header << csvField(headerData(column, Qt::Horizontal, Qt::DisplayRole).toString());
    lines << header.join(QLatin1Char(','));
    for (int row : rows) {
        const LineUnit *unit = roster->find(addresses.value(row));
        if (!unit)
            continue;
        QStringList cells;
        for (int column = 0; column < ColumnCount; ++column)
            cells << csvField(text(*unit, column));
        for (int column = 0; extra && column < extra->count(); ++column)
            cells << csvField(extra->data(unit->address, column, Qt::DisplayRole).toString());
        lines << cells.join(QLatin1Char(','));
    }
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}
