#pragma once

#include <QList>
#include <QString>

// The numbers an argument or a field can hold (tervin-cli's options, the Line window's fields),
// read strictly: a whole number is written in decimal digits
// (an optional minus first), and is either in its range or said to be out of it. Each function
// returns what is wrong with the text, or an empty string.
namespace Values {

// The text as a message shows it: '' for nothing at all.
QString shown(const QString &text);

// A whole number from low to high; unit (" ms", " %") follows the range in the message.
QString wholeNumber(const QString &text, qint64 low, qint64 high, const QString &unit, int &number);

// A list of slave addresses, "1-247" or "1,5,9-12": each item an address from 1 to 247 or a
// range of them, low to high, no address twice. The addresses come in the order given.
QString addressList(const QString &text, QList<int> &addresses);

// The list as text in that syntax, each run of consecutive addresses as a range: {1,2,3,5} is
// "1-3,5".
QString addressListText(const QList<int> &addresses);

} // namespace Values
