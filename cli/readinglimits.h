#pragma once

#include "protocol/reading.h"

#include <QString>

#include <optional>

// The limits a commissioned unit's reading must lie within, given as LO:HI: temperature in °C
// (a Fahrenheit unit's reading is converted for the check), humidity in per cent.
struct Limits
{
    double low = 0;
    double high = 0;

    bool contains(double value) const { return value >= low && value <= high; }
};

enum class Quantity { Temperature, Humidity };

// Reads "5:40" or "-10.5:60": two decimal numbers within what the sensors measure (-40 to
// 125 °C, 0 to 100 %), the first not above the second. Returns what is wrong, or nothing.
QString parseLimits(const QString &text, Quantity quantity, Limits &limits);

double celsiusOf(double value, bool fahrenheit);

// Why the reading fails the limits given (an empty optional checks nothing), naming each limit
// it fails with its value; empty when it passes. A quantity with limits must be in the reading.
QString limitsProblem(const Reading &reading, const std::optional<Limits> &temperature,
                      const std::optional<Limits> &humidity);
